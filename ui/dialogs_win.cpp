#include "ui/dialogs_win.h"

#include <windows.h>

#include "i18n/catalog.h"
#include "ui/error_dialog_win.h"
#include "ui/message_box_win.h"
#include "ui/progress_window_win.h"

namespace zevrino::desktop::installer {

bool WindowsDialogs::Ask(Question question) {
  const char* text = "The Zevrino installation is already in progress.";
  unsigned int flags = MB_OK | MB_ICONINFORMATION;
  if (question == Question::kReplaceInstalled) {
    text = "It looks like you have already installed Zevrino. Do you want to replace it?";
    flags = MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2;
  } else if (question == Question::kCloseApplication) {
    text = "Do you want to close Zevrino and proceed with the installation?";
    flags = MB_OKCANCEL | MB_ICONQUESTION;
  }
  return ShowMessageBox(i18n::gettext::translate(text).c_str(), flags) != IDCANCEL;
}

bool WindowsDialogs::ShowError(ResultCode code) {
  return installer::ShowError(ui_, code);
}

void WindowsDialogs::ShowProgress() {
  StartUiThread(ui_, true);
}

}  // namespace zevrino::desktop::installer
