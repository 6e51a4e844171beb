#pragma once
// The progress window and the UI thread that owns it.

#include <windows.h>

#include <atomic>
#include <string>

#include "base/cancel_points.h"
#include "ui/fallback_address.h"
#include "ui/progress_channel_win.h"
#include "ui/rate_estimator.h"

namespace zevrino::desktop::installer {

// The UI thread of one run, its progress window and what the window shows,
// owned by the run. The installing thread never touches the window: it
// writes the channel, which a 30 ms timer reads, and reaches the window only
// through the functions below. The window finds this object through its
// extra bytes. Destroying it ends the thread and its window, and waits.
class UiThread {
 public:
  UiThread(ProgressChannel& channel, const FallbackAddress& fallback)
      : channel_(channel), fallback_(fallback) {}
  ~UiThread();
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  ProgressChannel& channel() const { return channel_; }
  const FallbackAddress& fallback() const { return fallback_; }

  // Starts the thread (at most once) and returns at once. Without the system
  // menu the window can be neither closed nor minimised (update mode).
  void Start(bool with_system_menu);

  // Blocks until the thread has created its window or failed to, and returns
  // the window (null when it failed). Null at once when none was started.
  HWND WaitForWindow() const;

 private:
  enum class BarMode { kNone, kMarquee, kDeterminate };

  static DWORD WINAPI Main(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  HWND CreateProgressWindow();
  void UpdateStatus(HWND window);
  void AskToCancel();
  LRESULT EndCancelOffer(HWND window);

  ProgressChannel& channel_;
  const FallbackAddress& fallback_;

  // Shared between the threads. The window is stored before the ready event
  // is set; readers wait for the event first.
  std::atomic<bool> started_{false};
  bool caption_only_ = false;  // written before the thread starts
  std::atomic<HWND> window_{nullptr};
  std::atomic<HANDLE> ready_event_{nullptr};  // manual-reset
  HANDLE thread_ = nullptr;

  // Touched only on the UI thread.
  BarMode bar_mode_ = BarMode::kNone;  // none yet: the first tick applies one
  std::string shown_text_;
  RateEstimator estimator_;
  // Closing the window asks whether to cancel until an install begins its
  // commit.
  bool cancel_offered_ = true;
  bool asking_ = false;  // the cancel question is on screen
};

// Starts the UI thread of `ui` (ui.Start).
inline void StartUiThread(UiThread& ui, bool with_system_menu) {
  ui.Start(with_system_menu);
}

// The cancel of an install shown in the progress window: the user's
// confirmed cancel (closing the window asks), and the commit's point from
// which the window no longer offers it (its close box is greyed and closing
// asks nothing). begin_commit waits while the question is on screen and is
// refused when the user has cancelled. Without a window nothing can be
// cancelled. The points refer to `ui`, which must outlive them.
CancelPoints WindowCancelPoints(UiThread& ui);

// Hides the progress window; a hide asked for before the window exists
// still hides it.
void HideProgressWindow(UiThread& ui);

}  // namespace zevrino::desktop::installer
