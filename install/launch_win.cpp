#include "install/launch_win.h"

#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "base/path_utf8.h"
#include "base/product_settings.h"
#include "base/wide_path.h"
#include "install/query_parameters.h"
#include "windows/create_process_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/shell_functions_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {

namespace {

constexpr wchar_t kShortcutFileName[] = L"Zevrino.lnk";
constexpr char kApplicationUri[] = "zevrino:open";

// The user's folder `csidl`, or empty when Windows has none.
std::wstring UserFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(ShellGetFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return std::wstring();
  }
  return folder;
}

}  // namespace

bool StartProcess(const std::wstring& application, const std::wstring& command_line,
                  const wchar_t* working_directory, HANDLE* process) {
  // CreateProcessW may write into the command line, so it gets its own
  // NUL-terminated buffer.
  std::vector<wchar_t> command_buffer(command_line.begin(), command_line.end());
  command_buffer.push_back(L'\0');

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessRetryingLostStart(application.c_str(), command_buffer.data(), FALSE,
                                      working_directory, &startup, &info)) {
    return false;
  }
  ScopedKernelHandle thread(info.hThread);
  ScopedKernelHandle owned_process(info.hProcess);
  if (process != nullptr) {
    *process = owned_process.Release();
  }
  return true;
}

bool StartProcess(const char* application, const char* command_line, const char* working_directory,
                  HANDLE* process) {
  const std::wstring wide_directory = Utf8ToWide(working_directory);
  return StartProcess(Utf8ToWide(application), Utf8ToWide(command_line),
                      working_directory != nullptr ? wide_directory.c_str() : nullptr, process);
}

bool StartApplication(const std::wstring& directory, const ForwardedArguments& forwarded,
                      const char* extra) {
  // The forwarded arguments arrived in UTF-8; the command line is converted
  // once, the path not at all.
  const std::string command_line = std::string(kApplicationFileName) + forwarded.mu +
                                   (extra == nullptr ? "" : extra) + forwarded.others;
  return StartProcess(JoinWidePath(directory, kApplicationFileNameWide), Utf8ToWide(command_line),
                      directory.c_str());
}

bool CreateShortcut(const std::wstring& link_path, const std::wstring& target,
                    const std::wstring& working_directory, const char* arguments) {
  IShellLinkW* raw_link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&raw_link)))) {
    return false;
  }
  const ScopedComPointer<IShellLinkW> link(raw_link);
  IPersistFile* raw_file = nullptr;
  if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&raw_file)))) {
    return false;
  }
  const ScopedComPointer<IPersistFile> file(raw_file);

  link.get()->SetPath(target.c_str());
  if (arguments != nullptr) {
    link.get()->SetArguments(Utf8ToWide(arguments).c_str());
  }
  link.get()->SetIconLocation(target.c_str(), 0);
  link.get()->SetWorkingDirectory(working_directory.c_str());
  return SUCCEEDED(file.get()->Save(link_path.c_str(), TRUE));
}

void CreateShortcuts(const std::wstring& directory) {
  const std::wstring target = JoinWidePath(directory, kApplicationFileNameWide);
  for (const int csidl : {CSIDL_DESKTOP, CSIDL_PROGRAMS}) {
    const std::wstring folder = UserFolder(csidl);
    if (folder.empty()) {
      continue;
    }
    CreateShortcut(JoinWidePath(folder, kShortcutFileName), target, directory);
  }
  ShellChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW | SHCNF_FLUSHNOWAIT, target.c_str(), nullptr);
}

bool OpenInstalledApplication() {
  const std::string uri =
      AppendQueryParameters(kApplicationUri, {{"utm_medium", "desktop-sa-installer"}});
  // The address is ASCII; the ANSI code page converts it like any other.
  const int length = ::MultiByteToWideChar(CP_ACP, 0, uri.c_str(), -1, nullptr, 0);
  if (length <= 0) {
    return false;
  }
  std::wstring wide_uri(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, uri.c_str(), -1, wide_uri.data(), length);
  const HINSTANCE result =
      ShellExecuteVerb(nullptr, L"open", wide_uri.c_str(), nullptr, nullptr, SW_SHOW);
  // ShellExecuteW reports success as a value above 32.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace zevrino::desktop::installer
