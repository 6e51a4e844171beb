#include "ui/cancel_confirm_win.h"

#include <windows.h>

#include "i18n/catalog.h"
#include "ui/cancel_lock_win.h"
#include "ui/cancel_request.h"
#include "ui/message_box_win.h"

namespace zevrino::desktop::installer {

void ConfirmCancel() {
  ::EnterCriticalSection(&CancelLock);
  if (!CancelRequested.load(std::memory_order_relaxed)) {
    const std::string question = i18n::gettext::translate(
        "The installation of Zevrino is not complete. Do you want to cancel?");
    // Never right-to-left reading: only the error dialogs carry that flag.
    if (ShowMessageBox(question.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES) {
      CancelRequested.store(true, std::memory_order_relaxed);
    }
  }
  ::LeaveCriticalSection(&CancelLock);
}

void WaitForCancelQuestion() {
  ::EnterCriticalSection(&CancelLock);
  ::LeaveCriticalSection(&CancelLock);
}

}  // namespace zevrino::desktop::installer
