// The top-level flow: one function per start-up step, run in this order.
//
//   1 parse the options            ParseOptions
//   2 register the log sink        RegisterLogSink
//   3 message catalogs             i18n::InitCatalogs
//   4 Windows version check        CheckPlatform (22)
//   5 Store installation check     CheckPlatform (29, 33)
//     the value of `mu`            CheckMuSuffix (34)
//   6 COM                          InitializeCom
//   7 own file name                GetOwnFileName (10)
//   8 map own file, open payload   ReportPayloadOpening (1, 2, 4)
//   9 run the chosen mode          ChooseMode, then one runner per Mode:
//        extract                   RunExtract
//        update                    RunUpdateMode
//        web install               RunWebInstallMode
//        normal install            RunNormalInstallMode
//
// The web and normal installs share their first steps (StartInteractiveRun,
// install_start_flow.h), which choose the installation directory; the normal
// install goes on in RunNormalInstallFlow. Their ports are bound to the real
// system here.
//
// Every question is asked on this thread before the UI thread starts; the
// refusals 20 to 33 are exit codes only, never error dialogs.
//
// What the run holds (the options, the installation directory, the progress
// channel, the browser fallback address, the named mutexes and the UI thread)
// is one InstallerRun, built here and handed to each runner.
//
// Steps 7 and 8 have no effect of their own beyond their outcome, so they run
// on a second thread from step 2 on (OwnPayloadOpening), alongside steps 3 to
// 6; their outcome is acted on in its place, after step 6.

#include <objbase.h>
#include <windows.h>

#include "base/product_settings.h"
#include "base/wide_path.h"
#include "files/link_guard.h"
#include "i18n/catalog.h"
#include "i18n/startup.h"
#include "install/install_location_win.h"
#include "install/install_start_flow.h"
#include "install/launch_win.h"
#include "install/log_lines.h"
#include "install/mode_ports_win.h"
#include "install/normal_install_win.h"
#include "installer_stub/environment_checks_win.h"
#include "installer_stub/installer_main.h"
#include "installer_stub/installer_run.h"
#include "installer_stub/log_lines.h"
#include "installer_stub/mode_choice.h"
#include "installer_stub/own_file_win.h"
#include "installer_stub/own_payload_opening_win.h"
#include "installer_stub/parse_options.h"
#include "logging/log.h"
#include "payload/extract_archive.h"
#include "payload/module_version_win.h"
#include "payload/payload_container.h"
#include "ui/dialogs_win.h"
#include "ui/error_dialog_win.h"
#include "ui/message_box_win.h"
#include "ui/progress_window_win.h"
#include "ui/running_application_win.h"
#include "update/update_mode_win.h"
#include "webinstall/web_install_win.h"
#include "windows/named_mutex_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

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
ResultCode RefuseWithError(UiThread& ui, ResultCode result, bool silent) {
  if (!silent) {
    ShowError(ui, result);
  }
  return result;
}

// The value of `mu` names the installation directory and is forwarded to
// every program the installer starts: anything but a plain name ends the
// run before anything is written.
ResultCode CheckMuSuffix(InstallerRun& run) {
  const Options& options = run.options;
  if (options.mu_suffix == nullptr || IsValidMuSuffix(options.mu_suffix)) {
    return kSuccess;
  }
  logging::log_message(logging::kLevelError, "", kLineInvalidMuSuffix,
                       "Zevrino Installer - The value of mu is not a valid directory suffix.");
  return RefuseWithError(run.ui, kInvalidMuSuffix, options.silent);
}

// COM stays initialised until the process ends; a repeated initialisation on
// this thread only answers S_FALSE, so the result is not looked at.
void InitializeCom() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

// Returns kSuccess when the payload opened, or the result code of the
// failure. A file that cannot be opened or mapped is reported as a missing
// payload. Unless the run is silent the failure is shown once, on this
// thread (no UI thread exists yet); the answer is ignored, since a payload
// that cannot be read will not read on a retry.
ResultCode ReportPayloadOpening(const OwnPayloadOpening::Outcome& outcome, InstallerRun& run) {
  const bool silent = run.options.silent;
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
    ShowError(run.ui, result);
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
ResultCode RunExtract(InstallerRun& run, const PayloadReader& payload_body) {
  const Options& options = run.options;
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
ResultCode RunUpdateMode(InstallerRun& run, const PayloadReader& reader) {
  const Options& options = run.options;
  // An elevated update would follow whatever a less privileged process
  // planted in the user's folders.
  if (!CheckAccount(options.silent)) {
    logging::log_message(logging::kLevelError, "", kLineAccountRefused,
                         "Zevrino Installer - Invalid user account for install.");
    return kAccountRefused;
  }
  StartUiThread(run.ui, false);
  // A Retry finds the named mutexes of the first attempt held.
  UpdateMutexes held;
  ResultCode result;
  do {
    result = RunUpdate(options, reader, run.mutexes, held);
  } while (result != kSuccess && ShowError(run.ui, result));
  return result;
}

// The first steps of a web or normal install against the real system.
InteractiveStart StartInteractiveRun(InstallerRun& run, const OwnPayload& payload) {
  WindowsAccount account;
  WindowsInstallationProbe probe(run.options.mu_suffix);
  WindowsDialogs dialogs(run.ui);
  InteractiveStart start =
      StartInteractiveRun({run.mutexes, account, probe, dialogs}, run.options, payload.flags);
  run.install_directory = start.directory;
  return start;
}

// A web-install payload: download the full installer and run it.
ResultCode RunWebInstallMode(InstallerRun& run, const OwnPayload& payload) {
  const InteractiveStart start = StartInteractiveRun(run, payload);
  if (start.result != kSuccess) {
    return start.result;
  }
  StartUiThread(run.ui, true);
  const ResultCode result = RunWebInstall(payload.reader, run.options, run.install_directory,
                                          run.mutexes, run.ui, run.fallback_address);
  HideProgressWindow(run.ui);
  return result;
}

ResultCode RunNormalInstallMode(InstallerRun& run, const OwnPayload& payload) {
  const Options& options = run.options;
  WindowsAccount account;
  WindowsInstallationProbe probe(options.mu_suffix);
  WindowsDialogs dialogs(run.ui);
  WindowsRunningApplication application(options.forwarded);
  WindowsRegistry registry;
  std::vector<std::wstring> parked_files;
  const ExtractOptions extract_options = NormalInstallExtractOptions(&parked_files, run.ui);
  WindowsInstallation installation(payload.reader, extract_options);
  WindowsFiles files;
  const InteractiveStart outcome =
      RunNormalInstallFlow({{run.mutexes, account, probe, dialogs},
                            {run.mutexes, application, dialogs},
                            {registry, installation, application, dialogs, files}},
                           options, payload.flags);
  run.install_directory = outcome.directory;
  return outcome.result;
}

}  // namespace

ResultCode InstallerMain(char** tokens, int count, const wchar_t* payload_file) {
  const Options options = ParseOptions(tokens, count);
  InstallerRun run(options, payload_file);
  RegisterLogSink(options);
  OwnPayloadOpening opening(run.payload_file);
  opening.Start();
  // A catalog that cannot be loaded leaves every text in English; the run
  // goes on either way.
  i18n::InitCatalogs();

  ResultCode result = CheckPlatform(options.silent);
  if (result == kSuccess) {
    result = CheckMuSuffix(run);
  }
  if (result != kSuccess) {
    return result;
  }
  InitializeCom();

  const OwnPayloadOpening::Outcome& opened = opening.Wait();
  if (!opened.own_name) {
    return kPathConversionFailed;
  }
  // The mapping and the reader live until this function returns; every mode
  // reads the payload through them.
  result = ReportPayloadOpening(opened, run);
  if (result != kSuccess) {
    return result;
  }
  const OwnPayload& payload = opening.payload();
  switch (ChooseMode(options, payload.flags)) {
    case Mode::kExtract:
      return RunExtract(run, payload.reader);
    case Mode::kUpdate:
      return RunUpdateMode(run, payload.reader);
    case Mode::kWebInstall:
      return RunWebInstallMode(run, payload);
    case Mode::kNormalInstall:
      break;
  }
  return RunNormalInstallMode(run, payload);
}

}  // namespace zevrino::desktop::installer
