#include "ui/message_box_win.h"

#include <windows.h>

#include <string>

#include "i18n/catalog.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {

int ShowMessageBox(const char* text, unsigned int flags) {
  // A text that does not convert shows as an empty string rather than not
  // at all: the buttons still ask the question's answer.
  const std::wstring wide_text = Utf8ToWide(text != nullptr ? text : "");
  const std::wstring caption = Utf8ToWide(i18n::gettext::translate("Zevrino"));
  return ::MessageBoxW(::GetActiveWindow(), wide_text.c_str(), caption.c_str(), flags);
}

}  // namespace zevrino::desktop::installer
