#include "ui/cancel_confirm_win.h"

#include <windows.h>

#include "i18n/catalog.h"
#include "ui/message_box_win.h"

namespace zevrino::desktop::installer {

void ConfirmCancel(ProgressChannel& channel) {
  ::EnterCriticalSection(&channel.cancel_lock);
  if (!channel.cancel_requested.load(std::memory_order_relaxed)) {
    const std::string question = i18n::gettext::translate(
        "The installation of Zevrino is not complete. Do you want to cancel?");
    // Never right-to-left reading: only the error dialogs carry that flag.
    if (ShowMessageBox(question.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES) {
      channel.cancel_requested.store(true, std::memory_order_relaxed);
    }
  }
  ::LeaveCriticalSection(&channel.cancel_lock);
}

void WaitForCancelQuestion(ProgressChannel& channel) {
  ::EnterCriticalSection(&channel.cancel_lock);
  ::LeaveCriticalSection(&channel.cancel_lock);
}

}  // namespace zevrino::desktop::installer
