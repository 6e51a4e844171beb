#pragma once
// The Dialogs port (base/mode_ports.h) over message boxes in the user's
// language, the error dialog and the progress window.

#include "base/mode_ports.h"
#include "ui/progress_window_win.h"

namespace zevrino::desktop::installer {

class WindowsDialogs final : public Dialogs {
 public:
  explicit WindowsDialogs(UiThread& ui) : ui_(ui) {}

  // OK unless the user chose Cancel.
  bool Ask(Question question) override;
  bool ShowError(ResultCode code) override;
  // The progress window with its system menu.
  void ShowProgress() override;

 private:
  UiThread& ui_;
};

}  // namespace zevrino::desktop::installer
