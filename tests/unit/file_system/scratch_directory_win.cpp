#include "tests/unit/file_system/scratch_directory_win.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "logging/log.h"

namespace zevrino::desktop::installer::testing {
namespace {

// Links made by MakeLink. They are removed before the scratch tree: Wine hides
// a link whose target is gone and then cannot delete it.
std::vector<std::wstring>& MadeLinks() {
  static std::vector<std::wstring> links;
  return links;
}

bool RemoveLink(const std::wstring& link);

void RemoveTree(const std::wstring& path, bool& ok) {
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
        RemoveTree(child, ok);
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

// One fixed name, truncated by every run, so that runs leave no trail of logs.
std::wstring LogPath() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"zv_file_system_tests.log";
}

const std::wstring& RegisteredLog() {
  static const std::wstring path = [] {
    const std::wstring log = LogPath();
    logging::add_file_sink(ToUtf8(log).c_str(), false);
    return log;
  }();
  return path;
}

bool StartUnixProgram(const std::wstring& program, std::wstring command_line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    return false;
  }
  // The handle Wine returns for a Unix program does not track that program,
  // so its exit code says nothing; callers check the program's effect.
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// Wine's own export that maps a DOS path to the Unix one; absent on Windows.
std::string UnixPath(const std::wstring& path) {
  using Function = char*(__cdecl*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<Function>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unix_name == nullptr) {
    return std::string();
  }
  char* name = unix_name(path.c_str());
  if (name == nullptr) {
    return std::string();
  }
  std::string result(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// Removes the link itself. Wine 8 follows a Unix link when deleting through
// DeleteFileW or RemoveDirectoryW and removes the target instead, so there
// the link is removed with /bin/rm.
bool RemoveLink(const std::wstring& link) {
  const std::string unix_link = UnixPath(link);
  if (unix_link.empty()) {
    return ::RemoveDirectoryW(link.c_str()) || ::DeleteFileW(link.c_str());
  }
  if (!StartUnixProgram(L"Z:\\bin\\rm", L"rm -f \"" + FromUtf8(unix_link) + L"\"")) {
    return false;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!Exists(link)) {
      return true;
    }
    ::Sleep(20);
  }
  return false;
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
  if (unix_target.empty() || unix_link.empty()) {
    return false;
  }
  if (!StartUnixProgram(L"Z:\\bin\\ln", L"ln -s \"" + FromUtf8(unix_target) + L"\" \"" +
                                            FromUtf8(unix_link) + L"\"")) {
    return false;
  }
  // Wait for the link to appear (see StartUnixProgram).
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (Exists(link)) {
      return true;
    }
    ::Sleep(20);
  }
  return false;
}

}  // namespace

ScratchDirectory::ScratchDirectory() {
  static int counter = 0;
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"zv_fs_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
          std::to_wstring(counter++);
  if (!path_.empty() && path_.back() == L'\\') {
    path_.pop_back();
  }
  EXPECT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr)) << ::GetLastError();
}

ScratchDirectory::~ScratchDirectory() {
  bool ok = true;
  std::vector<std::wstring>& links = MadeLinks();
  for (auto it = links.begin(); it != links.end();) {
    if (it->compare(0, path_.size() + 1, path_ + L"\\") == 0) {
      ok = (RemoveLink(*it) || !Exists(*it)) && ok;
      it = links.erase(it);
    } else {
      ++it;
    }
  }
  RemoveTree(path_, ok);
  EXPECT_TRUE(ok) << "scratch directory not fully removed: " << ToUtf8(path_);
}

void WriteTestFile(const std::wstring& path, const std::string& content) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << ToUtf8(path) << " error " << ::GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(
      ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
  ::CloseHandle(file);
}

std::string ReadTestFile(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return "<missing>";
  }
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  ::CloseHandle(file);
  return content;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) {
    return std::string();
  }
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        length, nullptr, nullptr);
  return result;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) {
    return std::wstring();
  }
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        length);
  return result;
}

static std::string ReadLog() {
  const std::wstring& path = RegisteredLog();
  return Exists(path) ? ReadTestFile(path) : std::string();
}

LogCapture::LogCapture() {
  start_ = ReadLog().size();
}

std::string LogCapture::Text() const {
  const std::string all = ReadLog();
  return all.size() > start_ ? all.substr(start_) : std::string();
}

int LogCapture::Count(const std::string& fragment) const {
  std::istringstream lines(Text());
  int count = 0;
  for (std::string line; std::getline(lines, line);) {
    count += line.find(fragment) != std::string::npos ? 1 : 0;
  }
  return count;
}

int LogCapture::CountLines(char level_letter, int line, const std::string& message) const {
  // "hh:mm:ss.mmm E [/f:61<padding to 32>] message"
  const std::string location =
      std::string(" ") + level_letter + " [/f:" + std::to_string(line) + " ";
  std::istringstream lines(Text());
  int count = 0;
  for (std::string text; std::getline(lines, text);) {
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
    }
    const std::size_t close = text.find("] ");
    if (text.find(location) != std::string::npos && close != std::string::npos &&
        text.substr(close + 2) == message) {
      ++count;
    }
  }
  return count;
}

bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
  return MakeLink(link, target, true);
}

bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
  return MakeLink(link, target, false);
}

}  // namespace zevrino::desktop::installer::testing
