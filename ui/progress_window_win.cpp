// The progress window and its UI thread. The installing thread never touches
// the window: it writes the run's ProgressChannel, which a 30 ms timer reads
// here, and reaches the window only through ShowError and the commit's end of
// the cancel offer (sent messages) and HideProgressWindow (a posted one).
//
// The window, its thread and its timer live until the run's UiThread is
// destroyed, which ends them; the window handle's owner is that object.

#include "ui/progress_window_win.h"

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "i18n/catalog.h"
#include "ui/cancel_confirm_win.h"
#include "ui/error_dialog_win.h"
#include "ui/progress_layout.h"
#include "ui/progress_status.h"
#include "ui/progress_window_state_win.h"
#include "ui/utf8_text.h"
#include "windows/scoped_handle_win.h"
#include "windows/system_library_win.h"
#include "windows/wide_text_win.h"

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

// The window's extra bytes hold its UiThread as two 32-bit halves, through
// the 32-bit accessors that the bar's style already needs: every function
// imported adds to the stub.
constexpr int kWindowExtraBytes = 8;
static_assert(sizeof(void*) == kWindowExtraBytes);

void LinkWindow(HWND window, void* owner) {
  const auto bits = reinterpret_cast<std::uintptr_t>(owner);
  ::SetWindowLongW(window, 0, static_cast<LONG>(bits & 0xFFFFFFFFu));
  ::SetWindowLongW(window, 4, static_cast<LONG>(bits >> 32));
}

void* LinkedOwner(HWND window) {
  const auto low = static_cast<DWORD>(::GetWindowLongW(window, 0));
  const auto high = static_cast<DWORD>(::GetWindowLongW(window, 4));
  return reinterpret_cast<void*>((static_cast<std::uintptr_t>(high) << 32) | low);
}

constexpr DWORD kCaptionOnlyStyle = WS_POPUP | WS_CAPTION;
constexpr DWORD kWithMenuStyle = kCaptionOnlyStyle | WS_SYSMENU | WS_MINIMIZEBOX;

}  // namespace

void UiThread::UpdateStatus(HWND window) {
  const DownloadProgressState& progress = channel_.download;
  const std::uint64_t received = progress.bytes_received.load(std::memory_order_relaxed);
  const std::uint64_t expected = progress.bytes_expected.load(std::memory_order_relaxed);
  const bool downloading = progress.downloading.load(std::memory_order_relaxed);
  const std::uint32_t countdown = progress.retry_countdown.load(std::memory_order_relaxed);

  const HWND bar = ::GetDlgItem(window, kProgressBarId);
  const bool determinate = IsDeterminate(downloading, expected);
  const BarMode mode = determinate ? BarMode::kDeterminate : BarMode::kMarquee;
  if (mode != bar_mode_) {
    bar_mode_ = mode;
    const LONG style = ::GetWindowLongW(bar, GWL_STYLE);
    ::SetWindowLongW(bar, GWL_STYLE, determinate ? (style & ~PBS_MARQUEE) : (style | PBS_MARQUEE));
    ::SendMessageW(bar, PBM_SETMARQUEE, determinate ? 0 : 1, 0);
  }
  if (determinate) {
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(ProgressPercent(received, expected)), 0);
    estimator_.Update(received, expected, ::GetTickCount());
  }

  StatusInputs inputs;
  inputs.cancel_requested = channel_.cancel_requested.load(std::memory_order_relaxed);
  inputs.retry_countdown = countdown;
  inputs.downloading = downloading;
  inputs.estimate_seconds = estimator_.shown_seconds();
  std::string text = ChooseStatusText(inputs);
  // Set only when it changed: no repaint, no flicker every 30 ms.
  if (text != shown_text_) {
    shown_text_ = std::move(text);
    ::SetDlgItemTextW(window, kStatusTextId, Utf8ToWide(shown_text_).c_str());
  }
}

void UiThread::AskToCancel() {
  if (!cancel_offered_) {
    return;  // the close box is greyed; this came from elsewhere (Alt+F4)
  }
  asking_ = true;
  ConfirmCancel(channel_);
  asking_ = false;
}

// The question's modal loop also delivers messages sent to this window, so
// an install may ask while the question is on screen: it is told to ask
// again once the answer is in, which is what decides.
LRESULT UiThread::EndCancelOffer(HWND window) {
  if (asking_) {
    return kQuestionOnScreen;
  }
  if (channel_.cancel_requested.load(std::memory_order_relaxed)) {
    return kCommitRefused;
  }
  if (cancel_offered_) {
    cancel_offered_ = false;
    ::EnableMenuItem(::GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  }
  return kCommitMayBegin;
}

LRESULT CALLBACK UiThread::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    LinkWindow(window, reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
  }
  // Null for the few messages before WM_NCCREATE, which all go to the
  // default procedure.
  UiThread* const self = static_cast<UiThread*>(LinkedOwner(window));
  switch (self != nullptr ? message : WM_NULL) {
    case WM_CLOSE:
      self->AskToCancel();  // the window stays until the run ends
      return 0;
    case kEndCancelOfferMessage:
      return self->EndCancelOffer(window);
    case WM_TIMER:
      if (wparam != kTimerId) {
        break;
      }
      self->UpdateStatus(window);
      ::SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
      return 0;
    case kShowErrorMessage:
      return ShowErrorDialog(static_cast<ResultCode>(wparam), self->fallback_) ? 1 : 0;
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

namespace {

// comctl32 is loaded from System32 at run time, never imported (see
// windows/system_library_win.h). Without it the bar is not drawn but the
// window still shows its text.
void InitProgressBarClass() {
  using InitFunction = decltype(&::InitCommonControlsEx);
  const auto init = GetSystemFunction<InitFunction>(L"comctl32.dll", "InitCommonControlsEx");
  if (init != nullptr) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    init(&controls);
  }
}

bool RegisterWindowClass(HINSTANCE instance, WNDPROC window_proc) {
  const HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_proc;
  window_class.cbWndExtra = kWindowExtraBytes;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hIconSm = icon;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  // The class stays registered after an earlier run of the process.
  return ::RegisterClassExW(&window_class) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
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

}  // namespace

HWND UiThread::CreateProgressWindow() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  InitProgressBarClass();
  if (!RegisterWindowClass(instance, WindowProc)) {
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
  const DWORD style = caption_only_ ? kCaptionOnlyStyle : kWithMenuStyle;
  const HWND window = ::CreateWindowExW(ex_style, kWindowClass, title.c_str(), style, frame.left,
                                        frame.top, frame.right - frame.left,
                                        frame.bottom - frame.top, nullptr, nullptr, instance, this);
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

DWORD WINAPI UiThread::Main(void* self_pointer) {
  auto* self = static_cast<UiThread*>(self_pointer);
  // Whatever the outcome, the window (possibly null) is published before
  // the event, so nobody waits for a window that will never come.
  const HWND window = self->CreateProgressWindow();
  self->window_.store(window);
  ::SetEvent(self->ready_event_.load());
  if (window == nullptr) {
    return 0;  // dialogs run on the calling thread
  }
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

UiThread::~UiThread() {
  if (thread_ != nullptr) {
    const HWND window = WaitForWindow();
    // Ends the message loop, and a question's modal loop first; the
    // system destroys the window with its thread.
    if (window != nullptr) {
      ::PostMessageW(window, WM_QUIT, 0, 0);
    }
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
  }
  const HANDLE ready = ready_event_.load();
  if (ready != nullptr) {
    ::CloseHandle(ready);
  }
}

HWND UiThread::WaitForWindow() const {
  const HANDLE ready = ready_event_.load();
  if (ready == nullptr) {
    return nullptr;
  }
  ::WaitForSingleObject(ready, INFINITE);
  return window_.load();
}

void UiThread::Start(bool with_system_menu) {
  if (started_.exchange(true)) {
    return;
  }
  caption_only_ = !with_system_menu;
  const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready == nullptr) {
    return;  // no event, no thread: dialogs run on the calling thread
  }
  ready_event_.store(ready);
  thread_ = ::CreateThread(nullptr, 0, Main, this, 0, nullptr);
  if (thread_ == nullptr) {
    ::SetEvent(ready);  // no window will come
  }
}

namespace {

// The installing thread's side of EndCancelOffer.
bool BeginCommitWithoutCancel(UiThread& ui) {
  const HWND window = ui.WaitForWindow();
  for (;;) {
    const LRESULT reply =
        window != nullptr ? ::SendMessageW(window, kEndCancelOfferMessage, 0, 0) : 0;
    switch (reply) {
      case kCommitMayBegin:
        return true;
      case kCommitRefused:
        return false;
      case kQuestionOnScreen:
        WaitForCancelQuestion(ui.channel());
        break;
      default:  // no window: nobody could have asked for a cancel
        return !ui.channel().cancel_requested.load(std::memory_order_relaxed);
    }
  }
}

}  // namespace

CancelPoints WindowCancelPoints(UiThread& ui) {
  CancelPoints points;
  ProgressChannel& channel = ui.channel();
  points.requested = [&channel] {
    return channel.cancel_requested.load(std::memory_order_relaxed);
  };
  points.begin_commit = [&ui] { return BeginCommitWithoutCancel(ui); };
  return points;
}

void HideProgressWindow(UiThread& ui) {
  // Waits like ShowError: a hide asked for while the UI thread is still
  // creating the window would otherwise be posted to no window and lost.
  const HWND window = ui.WaitForWindow();
  if (window != nullptr) {
    ::PostMessageW(window, kHideWindowMessage, 0, 0);
  }
}

}  // namespace zevrino::desktop::installer
