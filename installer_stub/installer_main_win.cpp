// The top-level flow: one function per start-up step, run in this order.
//
//   1 parse the options            ParseOptions
//   2 register the log sink        RegisterLogSink
//   3 message catalogs             i18n::InitCatalogs
//   4 Windows version check        (not part of this build yet)
//   5 Store installation check     (not part of this build yet)
//   6 COM and CancelLock           InitializeComAndCancelLock
//   7 own file name                GetOwnFileName
//   8 map own file, open payload   OpenPayloadOfOwnFile
//   9 run the chosen mode          RunExtract (update and the interactive
//                                  modes are not part of this build yet)

#include <objbase.h>
#include <windows.h>

#include "i18n/startup.h"
#include "installer/wide_text_win.h"
#include "installer_stub/cancel_lock_win.h"
#include "installer_stub/installer_main.h"
#include "installer_stub/options.h"
#include "installer_stub/own_file_win.h"
#include "logging/log.h"
#include "payload/extract_archive.h"
#include "payload/module_version_win.h"
#include "ui/error_dialog_win.h"

namespace zevrino::desktop::installer {
namespace {

void RegisterLogSink(const Options& options) {
  if (options.log_file_path != nullptr) {
    logging::add_file_sink(options.log_file_path, true);
  } else {
    logging::add_console_sink(false);
  }
}

// COM stays initialised until the process ends; a repeated initialisation on
// this thread only answers S_FALSE, so the result is not looked at.
void InitializeComAndCancelLock() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  InitializeCancelLock();
}

// Returns kSuccess with the payload open, or the result code of the failure.
// A file that cannot be opened or mapped is reported as a missing payload.
// Unless the run is silent the failure is shown once, on this thread (no UI
// thread exists yet); the answer is ignored, since a payload that cannot be
// read will not read on a retry.
ResultCode OpenPayloadOfOwnFile(const wchar_t* own_path, bool silent, OwnPayload* payload) {
  ErrorCode error;
  if (OpenOwnPayload(own_path, payload, &error)) {
    return kSuccess;
  }
  ResultCode result = static_cast<ResultCode>(error.value());
  if (error.category() == ErrorCategory::kSystem) {
    logging::log_message(2, "", __LINE__,
                         "Zevrino Installer - Could not map the installer file: error %d",
                         static_cast<int>(error.value()));
    result = kPayloadNotFound;
  }
  if (!silent) {
    ShowError(result);
  }
  logging::log_message(2, "", 908, "Zevrino Installer - Error reading installer payload: %d",
                       static_cast<int>(result));
  return result;
}

// Extract mode: no window, no question and no log line of its own; the
// result is the exit code. The token after `extract`, whatever it looks like,
// is the directory; without one the archive goes next to the program.
ResultCode RunExtract(const Options& options, const PayloadReader& payload_body) {
  if (options.target_path == nullptr) {
    return ExtractArchive(DefaultExtractDirectory(), payload_body);
  }
  wchar_t target[kMaxWidePath];
  if (!Utf8ToWidePath(options.target_path, target)) {
    return kPathConversionFailed;
  }
  return ExtractArchive(target, payload_body);
}

}  // namespace

ResultCode InstallerMain(char** tokens, int count) {
  const Options options = ParseOptions(tokens, count);
  RegisterLogSink(options);
  // A catalog that cannot be loaded leaves every text in English; the run
  // goes on either way.
  i18n::InitCatalogs();

  InitializeComAndCancelLock();

  wchar_t own_path[MAX_PATH];
  if (!GetOwnFileName(own_path)) {
    return kPathConversionFailed;
  }

  // The mapping and the reader live until this function returns; every mode
  // reads the payload through them.
  OwnPayload payload;
  const ResultCode result = OpenPayloadOfOwnFile(own_path, options.silent, &payload);
  if (result != kSuccess) {
    return result;
  }
  if (options.extract) {
    return RunExtract(options, payload.reader);
  }
  // The update and interactive modes come here. Until they exist a run ends
  // successfully once its payload is open.
  return kSuccess;
}

}  // namespace zevrino::desktop::installer
