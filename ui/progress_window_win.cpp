// The progress window and its UI thread. The installing thread never touches
// the window: it writes DownloadProgress and CancelRequested, which a 30 ms
// timer reads here, and reaches the window only through ShowError and the
// commit's end of the cancel offer (sent messages) and HideProgressWindow (a
// posted one).
//
// The window, its thread and its timer live until the process ends; nothing
// destroys them, so the window handle has no owner object.

#include "ui/progress_window_win.h"

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>

#include "i18n/catalog.h"
#include "installer/scoped_handle_win.h"
#include "installer/system_library_win.h"
#include "installer/wide_text_win.h"
#include "ui/cancel_confirm_win.h"
#include "ui/cancel_request.h"
#include "ui/download_progress.h"
#include "ui/error_dialog_win.h"
#include "ui/progress_layout.h"
#include "ui/progress_status.h"
#include "ui/progress_window_state_win.h"
#include "ui/rate_estimator.h"
#include "ui/utf8_text.h"

namespace zevrino::desktop::installer {
namespace {

constexpr wchar_t kWindowClass[] = L"ZevrinoInstaller";
constexpr int kStatusTextId = 50;
constexpr int kProgressBarId = 51;
constexpr UINT_PTR kTimerId = 124;
constexpr UINT kTimerPeriodMs = 30;
constexpr std::size_t kMaxTitleUnits = 255;  // a 256-unit buffer with its NUL

// Sent by an install about to commit; the reply is a CommitReply.
constexpr UINT kEndCancelOfferMessage = WM_USER + 125;
enum CommitReply : LRESULT {
  kCommitMayBegin = 1,    // the cancel is no longer offered
  kCommitRefused = 2,     // the user has cancelled
  kQuestionOnScreen = 3,  // ask again once it is answered
};

constexpr DWORD kCaptionOnlyStyle = WS_POPUP | WS_CAPTION;
constexpr DWORD kWithMenuStyle = kCaptionOnlyStyle | WS_SYSMENU | WS_MINIMIZEBOX;

// Shared between the threads. The window is stored before UiReadyEvent is
// set; readers wait for the event first.
std::atomic<bool> ui_thread_started{false};
std::atomic<bool> caption_only{false};
std::atomic<HWND> progress_window{nullptr};
// Manual-reset, created by StartUiThread and kept until the process ends.
std::atomic<HANDLE> ui_ready_event{nullptr};

enum class BarMode { kNone, kMarquee, kDeterminate };

// Touched only on the UI thread.
struct UiThreadState {
  BarMode bar_mode = BarMode::kNone;  // none yet: the first tick applies one
  std::string shown_text;
  RateEstimator estimator;
  // Closing the window asks whether to cancel until an install begins its
  // commit.
  bool cancel_offered = true;
  bool asking = false;  // the cancel question is on screen
};
UiThreadState ui_state;

void UpdateStatus(HWND window) {
  const std::uint64_t received = DownloadProgress.bytes_received.load(std::memory_order_relaxed);
  const std::uint64_t expected = DownloadProgress.bytes_expected.load(std::memory_order_relaxed);
  const bool downloading = DownloadProgress.downloading.load(std::memory_order_relaxed);
  const std::uint32_t countdown = DownloadProgress.retry_countdown.load(std::memory_order_relaxed);

  const HWND bar = ::GetDlgItem(window, kProgressBarId);
  const bool determinate = IsDeterminate(downloading, expected);
  const BarMode mode = determinate ? BarMode::kDeterminate : BarMode::kMarquee;
  if (mode != ui_state.bar_mode) {
    ui_state.bar_mode = mode;
    const LONG style = ::GetWindowLongW(bar, GWL_STYLE);
    ::SetWindowLongW(bar, GWL_STYLE, determinate ? (style & ~PBS_MARQUEE) : (style | PBS_MARQUEE));
    ::SendMessageW(bar, PBM_SETMARQUEE, determinate ? 0 : 1, 0);
  }
  if (determinate) {
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(ProgressPercent(received, expected)), 0);
    ui_state.estimator.Update(received, expected, ::GetTickCount());
  }

  StatusInputs inputs;
  inputs.cancel_requested = CancelRequested.load(std::memory_order_relaxed);
  inputs.retry_countdown = countdown;
  inputs.downloading = downloading;
  inputs.estimate_seconds = ui_state.estimator.shown_seconds();
  std::string text = ChooseStatusText(inputs);
  // Set only when it changed: no repaint, no flicker every 30 ms.
  if (text != ui_state.shown_text) {
    ui_state.shown_text = std::move(text);
    ::SetDlgItemTextW(window, kStatusTextId, Utf8ToWide(ui_state.shown_text).c_str());
  }
}

void AskToCancel() {
  if (!ui_state.cancel_offered) {
    return;  // the close box is greyed; this came from elsewhere (Alt+F4)
  }
  ui_state.asking = true;
  ConfirmCancel();
  ui_state.asking = false;
}

// The question's modal loop also delivers messages sent to this window, so
// an install may ask while the question is on screen: it is told to ask
// again once the answer is in, which is what decides.
LRESULT EndCancelOffer(HWND window) {
  if (ui_state.asking) {
    return kQuestionOnScreen;
  }
  if (CancelRequested.load(std::memory_order_relaxed)) {
    return kCommitRefused;
  }
  if (ui_state.cancel_offered) {
    ui_state.cancel_offered = false;
    ::EnableMenuItem(::GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  }
  return kCommitMayBegin;
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      AskToCancel();  // the window is never destroyed
      return 0;
    case kEndCancelOfferMessage:
      return EndCancelOffer(window);
    case WM_TIMER:
      if (wparam != kTimerId) {
        break;
      }
      UpdateStatus(window);
      ::SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
      return 0;
    case kShowErrorMessage:
      return ShowErrorDialog(static_cast<ResultCode>(wparam)) ? 1 : 0;
    case kRunDialogMessage:
      return static_cast<LRESULT>(
          (*reinterpret_cast<const std::function<DWORD(HWND)>*>(lparam))(window));
    case kHideWindowMessage:
      ::ShowWindow(window, SW_HIDE);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// comctl32 is loaded from System32 at run time, never imported (see
// installer/system_library_win.h). Without it the bar is not drawn but the
// window still shows its text.
void InitProgressBarClass() {
  using InitFunction = decltype(&::InitCommonControlsEx);
  const auto init = GetSystemFunction<InitFunction>(L"comctl32.dll", "InitCommonControlsEx");
  if (init != nullptr) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    init(&controls);
  }
}

bool RegisterWindowClass(HINSTANCE instance) {
  const HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = ProgressWindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hIconSm = icon;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  return ::RegisterClassExW(&window_class) != 0;
}

ProgressLayout ScreenLayout() {
  double x_scale = 1.0;
  double y_scale = 1.0;
  const ScopedScreenDc screen(::GetDC(nullptr));
  if (screen.valid()) {
    x_scale = ::GetDeviceCaps(screen.get(), LOGPIXELSX) / 96.0;
    y_scale = ::GetDeviceCaps(screen.get(), LOGPIXELSY) / 96.0;
  }
  return ComputeProgressLayout(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                               x_scale, y_scale);
}

HWND CreateChild(HWND parent, const wchar_t* window_class, int id, const LayoutRect& rect,
                 DWORD ex_style, HINSTANCE instance) {
  return ::CreateWindowExW(ex_style, window_class, L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                           rect.width, rect.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

HWND CreateProgressWindow() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  InitProgressBarClass();
  if (!RegisterWindowClass(instance)) {
    return nullptr;
  }
  const ProgressLayout layout = ScreenLayout();
  RECT frame = {layout.client.left, layout.client.top, layout.client.left + layout.client.width,
                layout.client.top + layout.client.height};
  // Both styles have the same frame, so the caption-only one measures it.
  ::AdjustWindowRect(&frame, kCaptionOnlyStyle, FALSE);

  const std::wstring title = Utf8ToWide(
      TruncateUtf8ToUtf16Units(i18n::gettext::translate("Zevrino Installer"), kMaxTitleUnits));
  const DWORD ex_style = IsRightToLeftLanguage() ? WS_EX_LAYOUTRTL : 0;
  const DWORD style = caption_only.load() ? kCaptionOnlyStyle : kWithMenuStyle;
  const HWND window = ::CreateWindowExW(
      ex_style, kWindowClass, title.c_str(), style, frame.left, frame.top, frame.right - frame.left,
      frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    return nullptr;
  }
  const HWND status =
      CreateChild(window, L"STATIC", kStatusTextId, layout.status, ex_style, instance);
  ::SendMessageW(status, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  CreateChild(window, PROGRESS_CLASSW, kProgressBarId, layout.bar, ex_style, instance);

  UpdateStatus(window);
  ::ShowWindow(window, SW_SHOW);
  ::SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
  return window;
}

DWORD WINAPI UiThreadMain(void*) {
  // Whatever the outcome, the window (possibly null) is published before
  // the event, so nobody waits for a window that will never come.
  progress_window.store(CreateProgressWindow());
  ::SetEvent(ui_ready_event.load());
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

HWND WaitForProgressWindow() {
  const HANDLE ready = ui_ready_event.load();
  if (ready == nullptr) {
    return nullptr;
  }
  ::WaitForSingleObject(ready, INFINITE);
  return progress_window.load();
}

void StartUiThread(bool with_system_menu) {
  if (ui_thread_started.exchange(true)) {
    return;
  }
  caption_only.store(!with_system_menu);
  const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready == nullptr) {
    return;  // no event, no thread: dialogs run on the calling thread
  }
  ui_ready_event.store(ready);
  const HANDLE thread = ::CreateThread(nullptr, 0, UiThreadMain, nullptr, 0, nullptr);
  if (thread == nullptr) {
    ::SetEvent(ready);  // no window will come
    return;
  }
  ::CloseHandle(thread);  // the thread runs until the process ends
}

namespace {

// The installing thread's side of EndCancelOffer.
bool BeginCommitWithoutCancel() {
  const HWND window = WaitForProgressWindow();
  for (;;) {
    const LRESULT reply =
        window != nullptr ? ::SendMessageW(window, kEndCancelOfferMessage, 0, 0) : 0;
    switch (reply) {
      case kCommitMayBegin:
        return true;
      case kCommitRefused:
        return false;
      case kQuestionOnScreen:
        WaitForCancelQuestion();
        break;
      default:  // no window: nobody could have asked for a cancel
        return !CancelRequested.load(std::memory_order_relaxed);
    }
  }
}

}  // namespace

CancelPoints WindowCancelPoints() {
  CancelPoints points;
  points.requested = [] { return CancelRequested.load(std::memory_order_relaxed); };
  points.begin_commit = BeginCommitWithoutCancel;
  return points;
}

void HideProgressWindow() {
  // Waits like ShowError: a hide asked for while the UI thread is still
  // creating the window would otherwise be posted to no window and lost.
  const HWND window = WaitForProgressWindow();
  if (window != nullptr) {
    ::PostMessageW(window, kHideWindowMessage, 0, 0);
  }
}

}  // namespace zevrino::desktop::installer
