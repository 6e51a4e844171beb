// The platform's part of files.h under Windows, and the links made in
// scratch directories (links_win.h).
#include <windows.h>

#include <chrono>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/links_win.h"
#include "tests/support/plain_files_win.h"
#include "tests/support/process_win.h"
#include "tests/support/utf16.h"
#include "tests/support/wait.h"

namespace zevrino::desktop::installer::testing {
namespace {

constexpr std::chrono::seconds kUnixProgramTimeout(2);

// Links made by MakeLink, removed before the tree that holds them.
std::vector<std::wstring>& MadeLinks() {
  static std::vector<std::wstring> links;
  return links;
}

// Wine's own export that maps a DOS path to the Unix one; absent on Windows.
std::string UnixPath(const std::wstring& path) {
  using Function = char*(__cdecl*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<Function>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unix_name != nullptr ? unix_name(path.c_str()) : nullptr;
  if (name == nullptr) {
    return std::string();
  }
  std::string result(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// Runs a Unix program and waits until `path` exists or not, as
// `should_exist` says. Wine gives a Unix program no process handle that
// tracks it (not even a valid one), so only the program's effect tells that
// it ran.
bool RunUnixProgram(const wchar_t* program, const std::wstring& command_line,
                    const std::wstring& path, bool should_exist) {
  StartProgram(command_line, program);
  return WaitUntil([&] { return Exists(path) == should_exist; }, kUnixProgramTimeout);
}

// Removes the link itself. Wine 8 follows a Unix link when deleting through
// DeleteFileW or RemoveDirectoryW and removes the target instead, so there
// the link is removed with /bin/rm.
bool RemoveLink(const std::wstring& link) {
  const std::string unix_link = UnixPath(link);
  if (unix_link.empty()) {
    return ::RemoveDirectoryW(link.c_str()) || ::DeleteFileW(link.c_str());
  }
  return RunUnixProgram(L"Z:\\bin\\rm", L"rm -f \"" + FromUtf8(unix_link) + L"\"", link, false);
}

bool MakeLink(const std::wstring& link, const std::wstring& target, bool directory) {
  MadeLinks().push_back(link);
  const DWORD flags =
      (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2 /* ALLOW_UNPRIVILEGED_CREATE */;
  // Wine answers TRUE without creating anything, so check the result.
  if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && Exists(link)) {
    return true;
  }
  const std::string unix_target = UnixPath(target);
  const std::string unix_link = UnixPath(link);
  return !unix_target.empty() && !unix_link.empty() &&
         RunUnixProgram(
             L"Z:\\bin\\ln",
             L"ln -s \"" + FromUtf8(unix_target) + L"\" \"" + FromUtf8(unix_link) + L"\"", link,
             true);
}

void RemoveFolder(const std::wstring& path, bool& ok) {
  WIN32_FIND_DATAW data;
  HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") {
        continue;
      }
      const std::wstring child = path + L"\\" + name;
      ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      const DWORD attributes = data.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        RemoveFolder(child, ok);
      } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ok = RemoveLink(child) && ok;
      } else {
        ok = ::DeleteFileW(child.c_str()) != FALSE && ok;
      }
    } while (::FindNextFileW(search, &data));
    ::FindClose(search);
  }
  ok = ::RemoveDirectoryW(path.c_str()) != FALSE && ok;
}

}  // namespace

std::string ReadText(const AnyPath& path, bool* found) {
  return ReadPlainFile(path.get().wstring(), found);
}

bool Exists(const AnyPath& path) {
  return PlainFileExists(path.get().wstring());
}

bool IsDirectory(const AnyPath& path) {
  const DWORD attributes = ::GetFileAttributesW(path.get().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveTree(const std::filesystem::path& path) {
  const std::wstring root = path.wstring();
  bool ok = true;
  std::vector<std::wstring>& links = MadeLinks();
  for (auto it = links.begin(); it != links.end();) {
    if (it->compare(0, root.size() + 1, root + L"\\") == 0) {
      ok = (RemoveLink(*it) || !Exists(*it)) && ok;
      it = links.erase(it);
    } else {
      ++it;
    }
  }
  RemoveFolder(root, ok);
  return ok;
}

bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
  return MakeLink(link, target, true);
}

bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
  return MakeLink(link, target, false);
}

}  // namespace zevrino::desktop::installer::testing
