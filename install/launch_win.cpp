#include "install/launch_win.h"

#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "base/path_utf8.h"
#include "base/product_settings.h"
#include "install/query_parameters.h"
#include "windows/create_process_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/shell_functions_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {

namespace {

constexpr char kShortcutFileName[] = "Zevrino.lnk";
constexpr char kApplicationUri[] = "zevrino:open";

// The user's folder `csidl` in UTF-8, or empty when Windows has none.
std::string UserFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(ShellGetFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return std::string();
  }
  return WideToUtf8(folder);
}

}  // namespace

bool StartProcess(const char* application, const char* command_line, const char* working_directory,
                  HANDLE* process) {
  const std::wstring wide_application = Utf8ToWide(application);
  // CreateProcessW may write into the command line, so it gets its own
  // NUL-terminated buffer.
  const std::wstring wide_command_line = Utf8ToWide(command_line);
  std::vector<wchar_t> command_buffer(wide_command_line.begin(), wide_command_line.end());
  command_buffer.push_back(L'\0');
  const std::wstring wide_directory = Utf8ToWide(working_directory);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessRetryingLostStart(
          wide_application.c_str(), command_buffer.data(), FALSE,
          working_directory != nullptr ? wide_directory.c_str() : nullptr, &startup, &info)) {
    return false;
  }
  ScopedKernelHandle thread(info.hThread);
  ScopedKernelHandle owned_process(info.hProcess);
  if (process != nullptr) {
    *process = owned_process.Release();
  }
  return true;
}

bool StartApplication(const char* directory, const ForwardedArguments& forwarded,
                      const char* extra) {
  const std::string path = JoinPath(directory, kApplicationFileName);
  const std::string command_line = std::string(kApplicationFileName) + forwarded.mu +
                                   (extra == nullptr ? "" : extra) + forwarded.others;
  return StartProcess(path.c_str(), command_line.c_str(), directory);
}

bool CreateShortcut(const char* link_path, const char* target, const char* working_directory,
                    const char* arguments) {
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

  const std::wstring wide_target = Utf8ToWide(target);
  link.get()->SetPath(wide_target.c_str());
  if (arguments != nullptr) {
    link.get()->SetArguments(Utf8ToWide(arguments).c_str());
  }
  link.get()->SetIconLocation(wide_target.c_str(), 0);
  link.get()->SetWorkingDirectory(Utf8ToWide(working_directory).c_str());
  return SUCCEEDED(file.get()->Save(Utf8ToWide(link_path).c_str(), TRUE));
}

void CreateShortcuts(const char* directory) {
  const std::string target = JoinPath(directory, kApplicationFileName);
  for (const int csidl : {CSIDL_DESKTOP, CSIDL_PROGRAMS}) {
    const std::string folder = UserFolder(csidl);
    if (folder.empty()) {
      continue;
    }
    CreateShortcut(JoinPath(folder, kShortcutFileName).c_str(), target.c_str(), directory);
  }
  const std::wstring wide_target = Utf8ToWide(target);
  ShellChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW | SHCNF_FLUSHNOWAIT, wide_target.c_str(),
                    nullptr);
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
