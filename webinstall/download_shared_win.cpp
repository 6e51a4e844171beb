// DownloadToFile with the process-wide state that the progress window reads
// and the cancel question writes. Kept apart from download_to_file_win.cpp so
// that programs passing their own state need not link the window.

#include "ui/cancel_lock_win.h"
#include "ui/cancel_request.h"
#include "ui/download_progress.h"
#include "webinstall/download_to_file_win.h"

namespace zevrino::desktop::installer {

DownloadShared ProcessDownloadShared() {
  DownloadShared shared;
  shared.progress = &DownloadProgress;
  shared.cancel_requested = &CancelRequested;
  shared.wait_for_cancel_question = [] {
    ::EnterCriticalSection(&CancelLock);
    ::LeaveCriticalSection(&CancelLock);
  };
  shared.sleep_one_second = [] { ::Sleep(1000); };
  return shared;
}

ResultCode DownloadToFile(const char* url, HANDLE file) {
  return DownloadToFile(url, file, ProcessDownloadShared());
}

}  // namespace zevrino::desktop::installer
