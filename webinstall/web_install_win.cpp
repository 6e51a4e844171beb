// The steps of a web install (web_install_flow.h) against the real system.
// One pass, in the order of the run:
//
//   prepare       1 decode the payload body          DecodePayloadBody
//                 2 the full installer's address     `url` or ReadDownloadDescription
//                 3 remember it for the browser      SetFullInstallerUrl
//                 4 the installation directory       DefaultInstallDirectory (35), created
//                 5 a free file name, made new       ChooseDownloadPath, DownloadFile (13)
//   download      6 one attempt                      DownloadAttempt
//   run_download  7 hold the file against changes    HoldForStart
//                 8 check its signature              StartIsTrusted (54)
//                 9 start the full installer, wait   RunFullInstaller
//   end_pass     10 delete the downloaded file
//
// From step 5 to the start in step 9 the file is always open through a
// handle that lets nobody else write, rename or delete it, so the file that
// is checked is the file that is started.

#include "webinstall/web_install_win.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/path_utf8.h"
#include "installer/wide_text_win.h"
#include "logging/log.h"
#include "payload/module_version_win.h"
#include "payload/payload_decoder.h"
#include "system/install_location_win.h"
#include "system/launch_win.h"
#include "ui/error_dialog_win.h"
#include "ui/progress_window_win.h"
#include "webinstall/authenticode_win.h"
#include "webinstall/download_address.h"
#include "webinstall/download_description.h"
#include "webinstall/download_to_file_win.h"
#include "webinstall/log_lines.h"
#include "webinstall/native_architecture_win.h"
#include "webinstall/web_install_flow.h"

namespace zevrino::desktop::installer {
namespace {

constexpr int kDownloadFileSlots = 10;

ResultCode ReadFullInstallerAddress(const PayloadReader& reader,
                                    const std::optional<std::string>& url, std::string* address) {
  std::vector<std::uint8_t> body;
  ErrorCode error;
  if (!DecodePayloadBody(reader, &body, &error)) {
    return static_cast<ResultCode>(error.value());
  }
  // The body must decode even when the command line names the address.
  if (url) {
    *address = *url;
    return kSuccess;
  }
  return ReadDownloadDescription(body.data(), body.size(), address);
}

// The first of "ZuVerIzad0.exe" to "ZuVerIzad9.exe" in `directory` that is
// free or can be freed. A name still held by a running program is scheduled
// for deletion at the next reboot and skipped.
HeapString ChooseDownloadPath(const char* directory, int* number) {
  for (int n = 0; n < kDownloadFileSlots; ++n) {
    HeapString path(join_path(directory, DownloadFileName(n).c_str()));
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

// The downloaded file at `path` and the handle it is held through: while
// it is written, one that writes and lets others only read; from HoldForStart
// on, one that only reads and still lets nobody else write, rename or
// delete it. The file is deleted when this goes.
class DownloadFile {
 public:
  explicit DownloadFile(const char* path) : path_(path), wide_path_(Utf8ToWide(path)) {}
  ~DownloadFile() {
    handle_.Close();
    if (file_exists_utf8(path_.c_str())) {
      delete_file_or_delay(path_.c_str());
    }
  }
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // Makes the file new (never through a link or a file that holds its
  // name): 0, 10 or 13.
  ResultCode Create() {
    std::wstring wide;
    if (!Utf8ToWidePath(path_.c_str(), &wide)) {
      return kPathConversionFailed;
    }
    handle_ =
        ScopedFileHandle(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle_.valid() ? kSuccess : kCreateFailed;
  }

  // Empties the file for a new attempt: 0 or 11.
  ResultCode Rewind() { return EmptyFile(handle_.get()) ? kSuccess : kOutOfMemory; }

  // Trades the writing handle for one that only reads, on the same file and
  // with the same protection: a handle that also lets the writer be is
  // opened first, so that the name never stands unprotected, and the file
  // must be the same one all along. False when that cannot be made sure of.
  bool HoldForStart() {
    const ScopedFileHandle bridge(::CreateFileW(wide_path_.c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!bridge.valid() || !SameFile(handle_.get(), bridge.get())) {
      return false;
    }
    handle_.Close();
    handle_ =
        ScopedFileHandle(::CreateFileW(wide_path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle_.valid() && SameFile(handle_.get(), bridge.get());
  }

  HANDLE handle() const { return handle_.get(); }
  const std::string& path() const { return path_; }
  const std::wstring& wide_path() const { return wide_path_; }
  // Ends the protection once the full installer runs from the file.
  void Release() { handle_.Close(); }

 private:
  static bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
  }

  std::string path_;
  std::wstring wide_path_;
  ScopedFileHandle handle_;
};

// One download attempt into the emptied file.
ResultCode DownloadAttempt(DownloadFile& file, const std::string& address,
                           const DownloadShared& shared) {
  ResultCode result = file.Rewind();
  if (result != kSuccess) {
    return result;
  }
  result = DownloadToFile(ReplaceArchPlaceholder(address).c_str(), file.handle(), shared);
  // HTTPS that fails outright while plain HTTP answers is a blocked TLS
  // connection (a proxy or an old system), not a missing network: the user
  // is offered the browser instead of retries. The probe keeps the address
  // as configured, "[ARCH]" included: any answer at all counts.
  std::string plain;
  if (result == kUrlOpenFailed && PlainHttpAddress(address, &plain) &&
      CanOpenAddress(plain.c_str(), &shared)) {
    result = kHttpsFailedHttpWorks;
  }
  return result;
}

// Whether the held file may be started: signed by this installer's own
// publisher, or, from a web installer that is not signed itself (a
// development build), signed by anyone or not at all.
bool StartIsTrusted(const DownloadFile& file) {
  const std::optional<SignerNames> own_signer = EmbeddedSigner(GetModulePath());
  const SignatureCheck check = CheckFileSignature(file.handle(), file.wide_path());
  switch (DecideDownloadTrust(own_signer, check)) {
    case TrustDecision::kStart:
      return true;
    case TrustDecision::kStartUnverified:
      logging::log_message(2, "", kLineStartingUnsigned,
                           "Zevrino Installer - Starting a full installer without a signature: "
                           "this web installer is not signed either.");
      return true;
    case TrustDecision::kRefuse:
      break;
  }
  logging::log_message(2, "", kLineNotSignedByPublisher,
                       "Zevrino Installer - The downloaded installer is not signed by %s "
                       "(verification 0x%08lX, chain 0x%08lX).",
                       own_signer ? "this installer's publisher" : "a trusted publisher",
                       static_cast<unsigned long>(check.result),
                       static_cast<unsigned long>(check.chain_status));
  return false;
}

// Starts the held full installer and waits for it: 0 when it exited with 0,
// 55 for any other exit code, 53 when it could not be started.
ResultCode RunFullInstaller(DownloadFile& file, int number, const ForwardedArguments& forwarded,
                            ScopedKernelHandle& interactive_mutex) {
  // The full installer takes the interactive installer mutex itself.
  interactive_mutex.Close();
  const std::string command_line =
      FullInstallerCommandLine(number, forwarded.mu.c_str(), forwarded.others.c_str());
  HANDLE started = nullptr;
  if (!StartProcess(file.path().c_str(), command_line.c_str(), nullptr, &started)) {
    logging::log_message(2, "", kLineFullInstallerStartFailed,
                         "Zevrino Installer - Could not start the full installer: error %lu",
                         ::GetLastError());
    return kFullInstallerStartFailed;
  }
  const ScopedKernelHandle process(started);
  file.Release();
  HideProgressWindow();
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = 0xFFFFFFFF;
  ::GetExitCodeProcess(process.get(), &exit_code);
  if (exit_code != 0) {
    logging::log_message(2, "", kLineFullInstallerFailed,
                         "Zevrino Installer - The full installer exited with %lu", exit_code);
    return kFullInstallerFailed;
  }
  return kSuccess;
}

// Steps 1 to 5 of a pass: *file made new, *address and *number set.
ResultCode PreparePass(const PayloadReader& reader, const Options& options, std::string* address,
                       int* number, std::optional<DownloadFile>& file) {
  const ResultCode read = ReadFullInstallerAddress(reader, options.url, address);
  if (read != kSuccess) {
    return read;
  }
  // The browser fallback opens the address the download used.
  SetFullInstallerUrl(ReplaceArchPlaceholder(*address).c_str());

  // An existing directory is fine; one that cannot be made shows up as a
  // file that cannot be created.
  const char* directory = DefaultInstallDirectory(options.mu_suffix);
  if (directory == nullptr) {
    return kNoAppDataFolder;
  }
  create_parent_directories("", directory);
  create_directory_utf8(directory);

  const HeapString path = ChooseDownloadPath(directory, number);
  if (path == nullptr) {
    return kCreateFailed;
  }
  file.emplace(path.get());
  return file->Create();
}

// Steps 7 to 9 of a pass.
ResultCode RunDownload(DownloadFile& file, int number, const ForwardedArguments& forwarded,
                       ScopedKernelHandle& interactive_mutex) {
  if (!file.HoldForStart()) {
    logging::log_message(
        2, "", kLineDownloadNotHeld,
        "Zevrino Installer - The downloaded file could not be held for its start.");
    return kDownloadInvalid;
  }
  if (!StartIsTrusted(file)) {
    return kDownloadInvalid;
  }
  return RunFullInstaller(file, number, forwarded, interactive_mutex);
}

}  // namespace

ResultCode RunWebInstall(const PayloadReader& reader, const Options& options,
                         ScopedKernelHandle& interactive_mutex) {
  const DownloadShared shared = ProcessDownloadShared();
  std::string address;
  int number = 0;
  std::optional<DownloadFile> file;
  WebInstallSteps steps;
  steps.prepare = [&] { return PreparePass(reader, options, &address, &number, file); };
  steps.download = [&] { return DownloadAttempt(*file, address, shared); };
  steps.sleep_one_second = [] { ::Sleep(1000); };
  steps.run_download = [&] {
    return RunDownload(*file, number, options.forwarded, interactive_mutex);
  };
  steps.end_pass = [&file] { file.reset(); };
  steps.show_error = [](ResultCode code) { return ShowError(code); };
  return RunWebInstallSteps(steps, shared);
}

}  // namespace zevrino::desktop::installer
