// The top-level flow: one function per start-up step, run in this order.
//
//   1 parse the options            ParseOptions
//   2 register the log sink        RegisterLogSink
//   3 message catalogs             i18n::InitCatalogs
//   4 Windows version check        CheckPlatform (22)
//   5 Store installation check     CheckPlatform (29, 33)
//     the value of `mu`            CheckMuSuffix (34)
//   6 COM and CancelLock           InitializeComAndCancelLock
//   7 own file name                GetOwnFileName (10)
//   8 map own file, open payload   ReportPayloadOpening (1, 2, 4)
//   9 run the chosen mode          ChooseMode, then one runner per Mode:
//        extract                   RunExtract
//        update                    RunUpdateMode
//        web install               RunWebInstallMode
//        normal install            RunNormalInstallMode
//
// The web and normal installs share their first steps (PrepareInteractiveRun):
//   log the run, the interactive mutex (20), the account (23), the
//   installation directory (35), the replace question (25).
// The normal install then goes on with:
//   the update-started mutex (21), the running application (26, the close
//   question), the HTTPS listener, RunNormalInstall.
//
// Every question is asked on this thread before the UI thread starts; the
// refusals 20 to 33 are exit codes only, never error dialogs.
//
// Steps 7 and 8 have no effect of their own beyond their outcome, so they run
// on a second thread from step 2 on (OwnPayloadOpening), alongside steps 3 to
// 6; their outcome is acted on in its place, after step 6.

#include <objbase.h>
#include <windows.h>

#include "i18n/catalog.h"
#include "i18n/startup.h"
#include "installer/link_guard.h"
#include "installer/named_mutex_win.h"
#include "installer/product_settings.h"
#include "installer/scoped_handle_win.h"
#include "installer/wide_path.h"
#include "installer/wide_text_win.h"
#include "installer_stub/environment_checks_win.h"
#include "installer_stub/installer_main.h"
#include "installer_stub/log_lines.h"
#include "installer_stub/mode_choice.h"
#include "installer_stub/own_file_win.h"
#include "installer_stub/own_payload_opening_win.h"
#include "installer_stub/parse_options.h"
#include "installer_stub/update_mode_win.h"
#include "logging/log.h"
#include "payload/extract_archive.h"
#include "payload/module_version_win.h"
#include "payload/payload_container.h"
#include "system/install_location_win.h"
#include "system/launch_win.h"
#include "system/normal_install_win.h"
#include "ui/cancel_lock_win.h"
#include "ui/error_dialog_win.h"
#include "ui/message_box_win.h"
#include "ui/progress_window_win.h"
#include "ui/running_application_win.h"
#include "webinstall/web_install_win.h"

namespace zevrino::desktop::installer {
namespace {

namespace gettext = i18n::gettext;

int Ask(const char* msgid, unsigned int flags) {
  return ShowMessageBox(gettext::translate(msgid).c_str(), flags);
}

void RegisterLogSink(const Options& options) {
  if (options.log_file_path != nullptr) {
    logging::add_file_sink(options.log_file_path, true);
  } else {
    logging::add_console_sink(false);
  }
}

// Steps 4 and 5: the Windows version and a Store installation of the
// application. Both run before the payload is opened, in every mode.
ResultCode CheckPlatform(bool silent) {
  if (!CheckWindowsVersion(silent)) {
    logging::log_message(logging::kLevelError, "", kLineUnsupportedPlatform,
                         "Zevrino Installer - Unsupported platform. Zevrino requires Windows 10 "
                         "or later.");
    return kUnsupportedWindows;
  }
  if (!IsStorePackageInstalled()) {
    return kSuccess;
  }
  if (!silent && Ask("Zevrino is already installed. Would you like to open it?",
                     MB_YESNO | MB_ICONWARNING) == IDYES) {
    OpenInstalledApplication();
    return kStoreInstallOpened;
  }
  logging::log_message(logging::kLevelError, "", kLineStoreInstallPresent,
                       "Zevrino Installer - A Windows Store install of Zevrino is already on the "
                       "system.");
  return kStoreInstallPresent;
}

// Shows a failure that a Retry would not change (the answer is ignored) and
// returns its code.
ResultCode RefuseWithError(ResultCode result, bool silent) {
  if (!silent) {
    ShowError(result);
  }
  return result;
}

// The value of `mu` names the installation directory and is forwarded to
// every program the installer starts: anything but a plain name ends the
// run before anything is written.
ResultCode CheckMuSuffix(const Options& options) {
  if (options.mu_suffix == nullptr || IsValidMuSuffix(options.mu_suffix)) {
    return kSuccess;
  }
  logging::log_message(logging::kLevelError, "", kLineInvalidMuSuffix,
                       "Zevrino Installer - The value of mu is not a valid directory suffix.");
  return RefuseWithError(kInvalidMuSuffix, options.silent);
}

// COM stays initialised until the process ends; a repeated initialisation on
// this thread only answers S_FALSE, so the result is not looked at.
void InitializeComAndCancelLock() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  InitializeCancelLock();
}

// Returns kSuccess when the payload opened, or the result code of the
// failure. A file that cannot be opened or mapped is reported as a missing
// payload. Unless the run is silent the failure is shown once, on this
// thread (no UI thread exists yet); the answer is ignored, since a payload
// that cannot be read will not read on a retry.
ResultCode ReportPayloadOpening(const OwnPayloadOpening::Outcome& outcome, bool silent) {
  if (outcome.opened) {
    return kSuccess;
  }
  const ErrorCode& error = outcome.error;
  const ResultCode result = ToResultCode(error, kPayloadNotFound);
  if (error.category() == ErrorCategory::kSystem) {
    logging::log_message(logging::kLevelError, "", kLineOwnFileNotMapped,
                         "Zevrino Installer - Could not map the installer file: error %d",
                         static_cast<int>(error.value()));
  }
  if (!silent) {
    ShowError(result);
  }
  logging::log_message(logging::kLevelError, "", kLinePayloadUnreadable,
                       "Zevrino Installer - Error reading installer payload: %d",
                       ResultNumber(result));
  return result;
}

// Extract mode: no window and no question; the result is the exit code. The
// token after `extract`, whatever it looks like, is the directory; without
// one the archive goes next to the program. Run elevated, an extract follows no link or junction on
// the way to its target: one that a less privileged process planted would aim an administrator's
// writes anywhere. A user's own run follows the user's own links.
ResultCode RunExtract(const Options& options, const PayloadReader& payload_body) {
  std::wstring target;
  if (options.target_path == nullptr) {
    target = DefaultExtractDirectory();
  } else if (!Utf8ToWidePath(options.target_path, &target)) {
    return kPathConversionFailed;
  }
  if (IsElevated()) {
    const std::unique_ptr<FileSystem> file_system = CreateFileSystem();
    if (CrossesLink(*file_system, target)) {
      logging::log_message(logging::kLevelError, "", kLineElevatedExtractThroughLink,
                           "Zevrino Installer - An elevated extract does not follow the link on "
                           "the way to %s.",
                           WideToUtf8(target).c_str());
      return kCreateFailed;
    }
  }
  return ExtractArchive(target, payload_body);
}

// Update mode: the installed application asked for its files to be
// replaced. The window has no system menu, so it can be neither closed nor
// minimised while the application is away.
ResultCode RunUpdateMode(const Options& options, const PayloadReader& reader) {
  // An elevated update would follow whatever a less privileged process
  // planted in the user's folders.
  if (!CheckAccount(options.silent)) {
    logging::log_message(logging::kLevelError, "", kLineAccountRefused,
                         "Zevrino Installer - Invalid user account for install.");
    return kAccountRefused;
  }
  StartUiThread(false);
  // A Retry finds the named mutexes of the first attempt held.
  UpdateMutexes held;
  ResultCode result;
  do {
    result = RunUpdate(options, reader, held);
  } while (result != kSuccess && ShowError(result));
  return result;
}

// What the first interactive steps decided for the rest of the run.
struct InteractiveRun {
  bool silent = false;
  const char* directory = nullptr;  // the installation directory (UTF-8)
  // "Zevrino Update Started Interactive Mutex", held until the run ends and
  // the process with it (a web install closes it before it starts the full
  // installer).
  ScopedKernelHandle interactive_mutex;
};

void ShowInstallationInProgress() {
  Ask("The Zevrino installation is already in progress.", MB_OK | MB_ICONINFORMATION);
}

// The steps that web and normal installs share: log the kind of run, take the
// interactive mutex, check the account, pick the directory and ask before
// replacing the same or a newer version.
ResultCode PrepareInteractiveRun(const Options& options, std::uint16_t payload_flags,
                                 InteractiveRun* run) {
  run->silent = options.silent;
  if (options.webinstall || (payload_flags & kWebInstaller) != 0) {
    // A web run always shows itself: the user started a download.
    run->silent = false;
    logging::log_message(logging::kLevelInfo, "", kLineRunningWebInstaller,
                         "Zevrino Installer - Running web installer.");
  } else {
    logging::log_message(logging::kLevelInfo, "", kLineRunningNormalInstaller,
                         "Zevrino Installer - Running normal installer.");
  }
  HANDLE interactive_mutex = nullptr;
  if (!TryCreateNamedMutex(kInteractiveMutexName, &interactive_mutex)) {
    if (!run->silent) {
      ShowInstallationInProgress();
    }
    logging::log_message(logging::kLevelError, "", kLineInteractiveInstallerRunning,
                         "Zevrino Installer - Zevrino installation already in progress.");
    return kInteractiveInstallerRunning;
  }
  run->interactive_mutex = ScopedKernelHandle(interactive_mutex);
  if (!CheckAccount(run->silent)) {
    logging::log_message(logging::kLevelError, "", kLineAccountRefused,
                         "Zevrino Installer - Invalid user account for install.");
    return kAccountRefused;
  }
  run->directory = DefaultInstallDirectory(options.mu_suffix);
  if (run->directory == nullptr) {
    logging::log_message(logging::kLevelError, "", kLineNoAppDataFolder,
                         "Zevrino Installer - The application data folder could not be found.");
    return RefuseWithError(kNoAppDataFolder, run->silent);
  }
  if (!options.webinstall && (payload_flags & kNoReplacePrompt) == 0 &&
      IsSameOrNewerVersionInstalled(run->directory)) {
    if (!run->silent &&
        Ask("It looks like you have already installed Zevrino. Do you want to replace it?",
            MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDCANCEL) {
      return kReplaceDeclined;
    }
    logging::log_message(logging::kLevelInfo, "", kLineOverwriting,
                         "Zevrino Installer - Overwriting previously installed version.");
  }
  return kSuccess;
}

// A web-install payload: download the full installer and run it.
ResultCode RunWebInstallMode(const Options& options, const OwnPayload& payload) {
  InteractiveRun run;
  ResultCode result = PrepareInteractiveRun(options, payload.flags, &run);
  if (result != kSuccess) {
    return result;
  }
  StartUiThread(true);
  result = RunWebInstall(payload.reader, options, run.interactive_mutex);
  HideProgressWindow();
  return result;
}

// Marks this run as an install in progress for the update flow of the
// installed application. The handle is never closed: the name stays taken
// until the process ends.
ResultCode TakeUpdateStartedMutex(bool silent) {
  if (TryCreateNamedMutex(kUpdateStartedMutexName)) {
    return kSuccess;
  }
  if (!silent) {
    ShowInstallationInProgress();
  }
  logging::log_message(logging::kLevelError, "", kLineUpdateInProgress,
                       "Zevrino Installer - Zevrino installation already in progress.");
  return kUpdateInProgress;
}

// Closes the running application with the user's consent and starts the
// progress window of a run that shows one.
ResultCode CloseRunningApplication(bool silent, const std::wstring& application) {
  if (!IsApplicationRunning()) {
    if (!silent) {
      StartUiThread(true);
    }
    return kSuccess;
  }
  logging::log_message(logging::kLevelError, "", kLineApplicationRunning,
                       "Zevrino Installer - Zevrino is running.");
  if (silent || Ask("Do you want to close Zevrino and proceed with the installation?",
                    MB_OKCANCEL | MB_ICONQUESTION) == IDCANCEL) {
    return kApplicationRunning;
  }
  StartUiThread(true);
  // A process that will not go surfaces as files in use (14, 18) during the
  // install, where the user may retry.
  CloseApplication(application);
  return kSuccess;
}

ResultCode RunNormalInstallMode(const Options& options, const OwnPayload& payload) {
  InteractiveRun run;
  ResultCode result = PrepareInteractiveRun(options, payload.flags, &run);
  if (result == kSuccess) {
    result = TakeUpdateStartedMutex(run.silent);
  }
  const std::wstring application =
      run.directory != nullptr ? JoinWidePath(Utf8ToWide(run.directory), kApplicationFileNameWide)
                               : L"";
  if (result == kSuccess) {
    result = CloseRunningApplication(run.silent, application);
  }
  if (result != kSuccess) {
    return result;
  }
  CloseHttpsListener(application);
  return RunNormalInstall(run.directory, payload.reader, run.silent, options.skip_app_launch,
                          options.forwarded);
}

}  // namespace

ResultCode InstallerMain(char** tokens, int count) {
  const Options options = ParseOptions(tokens, count);
  RegisterLogSink(options);
  OwnPayloadOpening opening;
  opening.Start();
  // A catalog that cannot be loaded leaves every text in English; the run
  // goes on either way.
  i18n::InitCatalogs();

  ResultCode result = CheckPlatform(options.silent);
  if (result == kSuccess) {
    result = CheckMuSuffix(options);
  }
  if (result != kSuccess) {
    return result;
  }
  InitializeComAndCancelLock();

  const OwnPayloadOpening::Outcome& opened = opening.Wait();
  if (!opened.own_name) {
    return kPathConversionFailed;
  }
  // The mapping and the reader live until this function returns; every mode
  // reads the payload through them.
  result = ReportPayloadOpening(opened, options.silent);
  if (result != kSuccess) {
    return result;
  }
  const OwnPayload& payload = opening.payload();
  switch (ChooseMode(options, payload.flags)) {
    case Mode::kExtract:
      return RunExtract(options, payload.reader);
    case Mode::kUpdate:
      return RunUpdateMode(options, payload.reader);
    case Mode::kWebInstall:
      return RunWebInstallMode(options, payload);
    case Mode::kNormalInstall:
      break;
  }
  return RunNormalInstallMode(options, payload);
}

}  // namespace zevrino::desktop::installer
