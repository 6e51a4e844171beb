// The steps of a web install (web_install_flow.h) against the real system.
// One pass, in the order of the run:
//
//   prepare       1 decode the payload body          DecodeDownloadDescription (1)
//                 2 the full installer's address     `url` or ReadDownloadDescription
//                 3 remember it for the browser      FallbackAddress::Set
//                 4 the installation directory       as chosen before, created
//                 5 leftovers of killed runs go,     RemoveLeftoverDownloads,
//                   a free file name, made new       ChooseDownloadPath, DownloadFile (13)
//   download      6 one attempt, resuming what the   DownloadAttempt
//                   pass's earlier ones brought
//   run_download  7 hold the file against changes    HoldForStart
//                 8 check its signature              StartIsTrusted (61)
//                 9 check its product and version    IsInstallerToStart (61)
//                10 start the full installer, wait   RunFullInstaller
//   end_pass     11 delete the downloaded file
//
// From step 5 to the start in step 9 the file is always open through a
// handle that lets nobody else write, rename or delete it, so the file that
// is checked is the file that is started.

#include "webinstall/web_install_win.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/named_objects.h"
#include "base/path_utf8.h"
#include "base/product_settings.h"
#include "files/disk_space.h"
#include "files/windows_file_system_win.h"
#include "install/launch_win.h"
#include "install/mode_ports_win.h"
#include "logging/log.h"
#include "payload/module_version_win.h"
#include "payload/payload_decoder.h"
#include "ui/dialogs_win.h"
#include "ui/error_dialog_win.h"
#include "ui/progress_window_win.h"
#include "webinstall/authenticode_win.h"
#include "webinstall/download_address.h"
#include "webinstall/download_description.h"
#include "webinstall/download_to_file_win.h"
#include "webinstall/download_version.h"
#include "webinstall/log_lines.h"
#include "webinstall/native_architecture_win.h"
#include "webinstall/web_install_flow.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

constexpr int kDownloadFileSlots = 10;

// Whether an unsigned web installer may start an unsigned download: only in
// a development build (the CMake option ZV_ALLOW_UNSIGNED_DOWNLOADS).
#ifdef ZV_ALLOW_UNSIGNED_DOWNLOADS
constexpr UnsignedDownloads kUnsignedDownloads = UnsignedDownloads::kAllow;
#else
constexpr UnsignedDownloads kUnsignedDownloads = UnsignedDownloads::kRefuse;
#endif

ResultCode ReadFullInstallerAddress(const PayloadReader& reader,
                                    const std::optional<std::string>& url, std::string* address) {
  std::vector<std::uint8_t> body;
  const ResultCode decoded = DecodeDownloadDescription(reader, &body);
  if (decoded != kSuccess) {
    return decoded;
  }
  // The body must decode even when the command line names the address.
  if (url) {
    *address = *url;
    return kSuccess;
  }
  return ReadDownloadDescription(body.data(), body.size(), address);
}

// True when `path` names a link or junction: never deleted through.
bool IsLinkName(const std::wstring& path) {
  WindowsFileSystem file_system;
  ErrorCode error;
  return file_system.IsLink(path, error);
}

// The download files that runs ended by force (killed, or their machine
// switched off) left behind: each one that no running program holds goes.
void RemoveLeftoverDownloads(const char* directory) {
  for (int n = 0; n < kDownloadFileSlots; ++n) {
    const std::string path = JoinPath(directory, DownloadFileName(n));
    std::wstring wide;
    if (!Utf8ToWidePath(path.c_str(), &wide) || IsLinkName(wide)) {
      continue;
    }
    if (::DeleteFileW(wide.c_str())) {
      logging::log_message(logging::kLevelWarning, "", kLineLeftoverDownloadRemoved,
                           "Zevrino Installer - Removed the leftover download %s.",
                           DownloadFileName(n).c_str());
    }
  }
}

// The first of "ZuVerIzad0.exe" to "ZuVerIzad9.exe" in `directory` that is
// free or can be freed. A name still held by a running program is scheduled
// for deletion at the next reboot and skipped, and so is a link. Empty when
// none is.
std::string ChooseDownloadPath(const char* directory, int* number) {
  for (int n = 0; n < kDownloadFileSlots; ++n) {
    std::string path = JoinPath(directory, DownloadFileName(n));
    if (file_exists_utf8(path.c_str())) {
      std::wstring wide;
      if (!Utf8ToWidePath(path.c_str(), &wide) || IsLinkName(wide)) {
        continue;
      }
      delete_file_or_delay(path.c_str());
      if (file_exists_utf8(path.c_str())) {
        continue;
      }
    }
    *number = n;
    return path;
  }
  return std::string();
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

// One download attempt into the file, which keeps what the pass's earlier
// attempts brought (`pass`). Before the first byte of a body that starts
// the file, the volume of `directory` must have room for it (12).
ResultCode DownloadAttempt(DownloadFile& file, const std::string& address,
                           const std::wstring& directory, const DownloadShared& shared,
                           const ProxySignIn& proxy_sign_in, DownloadPass& pass) {
  const auto check_room = [&directory](std::uint64_t bytes) {
    WindowsFileSystem file_system;
    return CheckFreeSpace(file_system, directory, bytes);
  };
  ResultCode result = DownloadToFile(ReplaceArchPlaceholder(address).c_str(), file.handle(), shared,
                                     &pass, check_room, proxy_sign_in);
  // HTTPS that fails outright while plain HTTP answers is a blocked TLS
  // connection (a proxy or an old system), not a missing network: the user
  // is offered the browser instead of retries. Only for an address that has
  // never answered in this pass: one that has is reachable, and lost its
  // connection. A certificate that could not be verified (60) is no such
  // case: plain http would only bypass the check. The probe keeps the
  // address as configured, "[ARCH]" included, and asks for the headers
  // alone: any answer at all counts.
  std::string plain;
  if (result == kUrlOpenFailed && !pass.answered && PlainHttpAddress(address, &plain) &&
      CanOpenAddress(plain.c_str(), &shared)) {
    result = kHttpsFailedHttpWorks;
  }
  return result;
}

// Whether the held file may be started: signed by this installer's own
// publisher, or, from a web installer that is not signed itself, by a
// trusted publisher (not at all, in a development build).
bool StartIsTrusted(const DownloadFile& file) {
  const std::optional<SignerNames> own_signer = EmbeddedSigner(GetModulePath());
  const SignatureCheck check = CheckFileSignature(file.handle(), file.wide_path());
  const TrustDecision decision = DecideDownloadTrust(own_signer, check, kUnsignedDownloads);
  switch (decision) {
    case TrustDecision::kStart:
      return true;
    case TrustDecision::kStartUnverified:
      logging::log_message(logging::kLevelError, "", kLineStartingUnsigned,
                           "Zevrino Installer - Starting a full installer without a signature: "
                           "this web installer is not signed either.");
      return true;
    default:
      break;
  }
  logging::log_message(logging::kLevelError, "", kLineNotSignedByPublisher,
                       "Zevrino Installer - The downloaded installer is refused: %s "
                       "(verification 0x%08lX, chain 0x%08lX, signer \"%s\", \"%s\"%s).",
                       DescribeTrustDecision(decision), static_cast<unsigned long>(check.result),
                       static_cast<unsigned long>(check.chain_status),
                       check.signer ? check.signer->common_name.c_str() : "",
                       check.signer ? check.signer->organization.c_str() : "",
                       own_signer ? "" : "; this web installer is not signed");
  return false;
}

// Whether the held, trusted file is a full installer of this product that
// installs no older version than this web installer's, nor than the one in
// `directory` (UTF-8), which it would replace.
bool IsInstallerToStart(const DownloadFile& file, const char* directory) {
  DownloadVersions versions;
  versions.product_name = GetProductName(file.wide_path());
  versions.download = GetProductVersion(file.wide_path());
  versions.own = GetOwnProductVersion();
  const std::string installed = JoinPath(directory, kApplicationFileName);
  std::wstring installed_wide;
  if (Utf8ToWidePath(installed.c_str(), &installed_wide)) {
    versions.installed = GetProductVersion(installed_wide);
  }
  const VersionDecision decision = DecideDownloadVersion(versions);
  if (decision == VersionDecision::kStart) {
    return true;
  }
  logging::log_message(logging::kLevelError, "", kLineDownloadNotAnInstaller,
                       "Zevrino Installer - The downloaded file is refused: %s (product \"%s\", "
                       "version \"%s\"; this installer %s, installed %s).",
                       DescribeVersionDecision(decision), versions.product_name.c_str(),
                       versions.download.c_str(), versions.own.c_str(),
                       versions.installed.empty() ? "none" : versions.installed.c_str());
  return false;
}

// Starts the held full installer and waits for it: 0 when it exited with 0,
// 55 for any other exit code, 53 when it could not be started.
ResultCode RunFullInstaller(DownloadFile& file, int number, const ForwardedArguments& forwarded,
                            NamedMutexes& mutexes, UiThread& ui) {
  // The full installer takes the interactive installer mutex itself.
  mutexes.Release(kInteractiveMutexName);
  const std::string command_line =
      FullInstallerCommandLine(number, forwarded.mu.c_str(), forwarded.others.c_str());
  HANDLE started = nullptr;
  if (!StartProcess(file.path().c_str(), command_line.c_str(), nullptr, &started)) {
    logging::log_message(logging::kLevelError, "", kLineFullInstallerStartFailed,
                         "Zevrino Installer - Could not start the full installer: error %lu",
                         ::GetLastError());
    return kFullInstallerStartFailed;
  }
  const ScopedKernelHandle process(started);
  file.Release();
  HideProgressWindow(ui);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = 0xFFFFFFFF;
  ::GetExitCodeProcess(process.get(), &exit_code);
  if (exit_code != 0) {
    logging::log_message(logging::kLevelError, "", kLineFullInstallerFailed,
                         "Zevrino Installer - The full installer exited with %lu", exit_code);
    return kFullInstallerFailed;
  }
  return kSuccess;
}

// What a pass works with, from its preparation to its end.
struct Pass {
  std::string address;
  std::string directory;  // UTF-8
  std::wstring wide_directory;
  int number = 0;
  std::optional<DownloadFile> file;
  DownloadPass download;
};

// Steps 1 to 5 of a pass: pass->file made new, the rest of *pass set.
ResultCode PreparePass(const PayloadReader& reader, const Options& options,
                       const std::wstring& wide_directory, FallbackAddress& fallback, Pass* pass) {
  pass->file.reset();
  pass->download = DownloadPass();
  std::string* address = &pass->address;
  const ResultCode read = ReadFullInstallerAddress(reader, options.url, address);
  if (read != kSuccess) {
    return read;
  }
  // The browser fallback opens the address the download used.
  fallback.Set(ReplaceArchPlaceholder(*address));

  // An existing directory is fine; one that cannot be made shows up as a
  // file that cannot be created.
  pass->wide_directory = wide_directory;
  pass->directory = WideToUtf8(wide_directory);
  const char* directory = pass->directory.c_str();
  create_parent_directories("", directory);
  create_directory_utf8(directory);

  RemoveLeftoverDownloads(directory);
  const std::string path = ChooseDownloadPath(directory, &pass->number);
  if (path.empty()) {
    return kCreateFailed;
  }
  pass->file.emplace(path.c_str());
  return pass->file->Create();
}

// Steps 7 to 10 of a pass.
ResultCode CheckAndRunDownload(DownloadFile& file, int number, const char* directory,
                               const ForwardedArguments& forwarded, NamedMutexes& mutexes,
                               UiThread& ui) {
  if (!file.HoldForStart()) {
    logging::log_message(
        logging::kLevelError, "", kLineDownloadNotHeld,
        "Zevrino Installer - The downloaded file could not be held for its start.");
    return kDownloadInvalid;
  }
  if (!StartIsTrusted(file) || !IsInstallerToStart(file, directory)) {
    return kDownloadNotGenuine;
  }
  return RunFullInstaller(file, number, forwarded, mutexes, ui);
}

// The proxy's sign-in: the system's dialog, owned by the progress window,
// in an interactive run; none in a silent one, which then ends with 58.
ProxySignIn ProxySignInFor(const Options& options, UiThread& ui) {
  if (options.silent) {
    return {};
  }
  return [&ui](HINTERNET request) {
    return static_cast<DWORD>(RunOwnedDialog(
        ui, [request](HWND owner) { return ShowProxySignInDialog(owner, request); }));
  };
}

// The passes of a web install against the real system.
class WindowsDownloadPasses final : public DownloadPasses {
 public:
  WindowsDownloadPasses(const PayloadReader& reader, const Options& options,
                        const std::wstring& directory, NamedMutexes& mutexes,
                        const DownloadShared& shared, UiThread& ui, FallbackAddress& fallback)
      : reader_(reader),
        options_(options),
        directory_(directory),
        mutexes_(mutexes),
        shared_(shared),
        ui_(ui),
        fallback_(fallback),
        proxy_sign_in_(ProxySignInFor(options, ui)) {}

  ResultCode Prepare() override {
    return PreparePass(reader_, options_, directory_, fallback_, &pass_);
  }
  ResultCode Download() override {
    return DownloadAttempt(*pass_.file, pass_.address, pass_.wide_directory, shared_,
                           proxy_sign_in_, pass_.download);
  }
  ResultCode RunDownload() override {
    return CheckAndRunDownload(*pass_.file, pass_.number, pass_.directory.c_str(),
                               options_.forwarded, mutexes_, ui_);
  }
  void EndPass() override { pass_.file.reset(); }

 private:
  const PayloadReader& reader_;
  const Options& options_;
  const std::wstring& directory_;
  NamedMutexes& mutexes_;
  const DownloadShared& shared_;
  UiThread& ui_;
  FallbackAddress& fallback_;
  const ProxySignIn proxy_sign_in_;
  Pass pass_;
};

}  // namespace

ResultCode RunWebInstall(const PayloadReader& reader, const Options& options,
                         const std::wstring& directory, NamedMutexes& mutexes, UiThread& ui,
                         FallbackAddress& fallback) {
  const DownloadShared shared = ChannelDownloadShared(ui.channel());
  WindowsDownloadPasses passes(reader, options, directory, mutexes, shared, ui, fallback);
  WindowsClock clock;
  WindowsDialogs dialogs(ui);
  return RunWebInstallSteps({passes, clock, dialogs}, shared);
}

}  // namespace zevrino::desktop::installer
