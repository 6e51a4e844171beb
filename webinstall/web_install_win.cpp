// One pass of the web install, in the order of the run:
//
//   1 decode the payload body            DecodePayloadBody
//   2 the full installer's address       UrlOverride or ReadDownloadDescription
//   3 remember it for the browser        SetFullInstallerUrl
//   4 the installation directory         DefaultInstallDirectory, created
//   5 a free file name                   ChooseDownloadPath
//   6 download, up to three attempts     DownloadWithRetries
//   7 start the full installer, wait     RunFullInstaller
//   8 delete the downloaded file

#include "webinstall/web_install_win.h"

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "installer/create_process_win.h"
#include "installer/path_utf8.h"
#include "installer/scoped_handle_win.h"
#include "installer/wide_text_win.h"
#include "installer_stub/environment_checks_win.h"
#include "installer_stub/options.h"
#include "logging/log.h"
#include "payload/payload_decoder.h"
#include "system/install_location_win.h"
#include "ui/error_dialog_win.h"
#include "ui/progress_window_win.h"
#include "webinstall/download_address.h"
#include "webinstall/download_description.h"
#include "webinstall/download_to_file_win.h"
#include "webinstall/native_architecture_win.h"
#include "webinstall/retry_countdown.h"

namespace zevrino::desktop::installer {
namespace {

constexpr int kDownloadFileSlots = 10;
constexpr std::uint32_t kDownloadAttempts = 3;

struct FreeDeleter {
  void operator()(char* text) const { std::free(text); }
};
using Utf8Path = std::unique_ptr<char, FreeDeleter>;

ResultCode ReadFullInstallerAddress(const PayloadReader& reader, std::string* address) {
  std::vector<std::uint8_t> body;
  ErrorCode error;
  if (!DecodePayloadBody(reader, &body, &error)) {
    return static_cast<ResultCode>(error.value());
  }
  // The body must decode even when the command line names the address.
  if (UrlOverride != nullptr) {
    *address = UrlOverride;
    return kSuccess;
  }
  return ReadDownloadDescription(body.data(), body.size(), address);
}

// The first of "ZuVerIzad0.exe" to "ZuVerIzad9.exe" in `directory` that is
// free or can be freed. A name still held by a running program is scheduled
// for deletion at the next reboot and skipped.
Utf8Path ChooseDownloadPath(const char* directory, int* number) {
  for (int n = 0; n < kDownloadFileSlots; ++n) {
    Utf8Path path(join_path(directory, DownloadFileName(n).c_str()));
    if (path == nullptr) {
      return nullptr;
    }
    if (file_exists_utf8(path.get())) {
      delete_file_or_delay(path.get());
      if (file_exists_utf8(path.get())) {
        continue;
      }
    }
    *number = n;
    return path;
  }
  return nullptr;
}

// One download attempt into a new file at `path`.
ResultCode DownloadAttempt(const char* path, const std::string& address) {
  wchar_t wide_path[kMaxWidePath];
  if (!Utf8ToWidePath(path, wide_path)) {
    return kPathConversionFailed;
  }
  ScopedFileHandle file(::CreateFileW(wide_path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    return kCreateFailed;
  }
  ResultCode result = DownloadToFile(ReplaceArchPlaceholder(address).c_str(), file.get());
  file.Close();
  // HTTPS that fails outright while plain HTTP answers is a blocked TLS
  // connection (a proxy or an old system), not a missing network: the user
  // is offered the browser instead of retries. The probe keeps the address
  // as configured, "[ARCH]" included: any answer at all counts.
  std::string plain;
  if (result == kUrlOpenFailed && PlainHttpAddress(address, &plain) &&
      CanOpenAddress(plain.c_str())) {
    result = kHttpsFailedHttpWorks;
  }
  return result;
}

// Up to three attempts; after a failed connection or a status other than 200
// a countdown runs in the progress window before the next one. The file at
// `path` is left for the caller, except when the user cancels during a
// countdown.
ResultCode DownloadWithRetries(const char* path, const std::string& address,
                               const WebInstallTiming& timing) {
  const DownloadShared shared = ProcessDownloadShared();
  for (std::uint32_t attempt = 0;;) {
    const ResultCode result = DownloadAttempt(path, address);
    if (result != kHttpStatusNotOk && result != kUrlOpenFailed) {
      return result;
    }
    ++attempt;
    logging::log_message(3, "", __LINE__, "Zevrino Installer - Download attempt %u failed: %d",
                         attempt, static_cast<int>(result));
    if (attempt == kDownloadAttempts) {
      return result;
    }
    const bool waited =
        RunRetryCountdown(RetryCountdownSeconds(attempt, timing.countdown_base_seconds), shared,
                          [&timing] { ::Sleep(timing.tick_milliseconds); });
    if (!waited) {
      delete_file_or_delay(path);
      return kCancelled;
    }
  }
}

// Starts the downloaded full installer and waits for it: 0 when it exited
// with 0, 55 for any other exit code, 53 when it could not be started.
ResultCode RunFullInstaller(const char* path, int number) {
  // The full installer takes the interactive installer mutex itself.
  if (InteractiveMutex != nullptr) {
    ::CloseHandle(InteractiveMutex);
    InteractiveMutex = nullptr;
  }
  wchar_t application[kMaxWidePath];
  const std::wstring command_line =
      Utf8ToWide(FullInstallerCommandLine(number, ForwardedMuArgs, ForwardedArgs));
  if (!Utf8ToWidePath(path, application) || command_line.empty()) {
    return kFullInstallerStartFailed;
  }
  std::vector<wchar_t> writable(command_line.begin(), command_line.end());
  writable.push_back(L'\0');  // CreateProcessW may write into its command line
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessRetryingLostStart(application, writable.data(), FALSE, nullptr, &startup,
                                      &info)) {
    logging::log_message(2, "", __LINE__,
                         "Zevrino Installer - Could not start the full installer: error %lu",
                         ::GetLastError());
    return kFullInstallerStartFailed;
  }
  const ScopedKernelHandle process(info.hProcess);
  ScopedKernelHandle(info.hThread).Close();
  HideProgressWindow();
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = 0xFFFFFFFF;
  ::GetExitCodeProcess(process.get(), &exit_code);
  if (exit_code != 0) {
    logging::log_message(2, "", __LINE__, "Zevrino Installer - The full installer exited with %lu",
                         exit_code);
    return kFullInstallerFailed;
  }
  return kSuccess;
}

}  // namespace

ResultCode RunWebInstall(const PayloadReader& reader, const WebInstallTiming& timing) {
  std::string address;
  const ResultCode read = ReadFullInstallerAddress(reader, &address);
  if (read != kSuccess) {
    return read;
  }
  SetFullInstallerUrl(address.c_str());

  // An existing directory is fine; one that cannot be made shows up as a
  // file that cannot be created.
  const char* directory = DefaultInstallDirectory();
  if (directory == nullptr) {
    return kNoAppDataFolder;
  }
  create_parent_directories("", directory);
  create_directory_utf8(directory);

  int number = 0;
  const Utf8Path path = ChooseDownloadPath(directory, &number);
  if (path == nullptr) {
    return kCreateFailed;
  }
  ResultCode result = DownloadWithRetries(path.get(), address, timing);
  if (result == kSuccess) {
    result = RunFullInstaller(path.get(), number);
  }
  // A cancel during a countdown has removed the file already.
  if (file_exists_utf8(path.get())) {
    delete_file_or_delay(path.get());
  }
  return result;
}

}  // namespace zevrino::desktop::installer
