// ui_driver.exe: calls the installer's message, error-dialog and progress
// window functions in the order its arguments give, so that end-to-end
// tests can drive them under Wine (usually together with dialog_robot.exe,
// which answers the dialogs). It loads the catalog of the user's language
// like the installer does.
//
//   ui_driver.exe STEP...
//     window | window-caption-only   StartUiThread with / without system menu
//     error CODE                     ShowError; prints "error CODE retry=0|1"
//     url TEXT                       sets the browser's FallbackAddress
//     progress RECEIVED EXPECTED DOWNLOADING COUNTDOWN
//                                    stores the four download progress fields
//     hide                           HideProgressWindow; prints "hide returned"
//     wait-hidden                    waits until this process's progress
//                                    window is hidden; prints "hidden"
//     wait-cancel                    waits until the cancel is requested;
//                                    prints "cancel requested"
//     commit                         WindowCancelPoints().begin_commit;
//                                    prints "commit 1" (may begin) or "commit 0"
//     style                          waits until this process's progress window
//                                    exists; prints "style 0xS exstyle 0xE"
//     locale                         prints "locale NAME rtl=0|1"
//     signal NAME | await NAME       named events shared with dialog_robot
//
// Exit code 0 when every step ran, 1 for a bad command line, 2 when a wait
// timed out (30 s).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "i18n/catalog.h"
#include "i18n/startup.h"
#include "tests/e2e/windows/test_sync_win.h"
#include "ui/error_dialog_win.h"
#include "ui/progress_window_win.h"

namespace {

using namespace zevrino::e2e;
namespace installer = zevrino::desktop::installer;

constexpr DWORD kWaitMs = 30000;

struct OwnWindow {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindOwnProgressWindow(HWND window, LPARAM context) {
  auto* own = reinterpret_cast<OwnWindow*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (pid == own->pid && std::wstring(name) == L"ZevrinoInstaller") {
    own->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND OwnProgressWindow() {
  OwnWindow own{GetCurrentProcessId(), nullptr};
  EnumWindows(FindOwnProgressWindow, reinterpret_cast<LPARAM>(&own));
  return own.found;
}

std::uint64_t Number(const std::wstring& text) {
  return std::wcstoull(text.c_str(), nullptr, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  std::vector<ScopedKernelHandle> awaited;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == L"await") {
      awaited.emplace_back(CreateEventW(nullptr, TRUE, FALSE, args[i + 1].c_str()));
    }
  }
  zevrino::desktop::i18n::InitCatalogs();
  installer::ProgressChannel channel;
  installer::FallbackAddress fallback;
  installer::UiThread ui(channel, fallback);

  for (std::size_t at = 0; at < args.size();) {
    const std::wstring step = args[at++];
    auto operand = [&](std::size_t count) {
      if (at + count > args.size()) {
        std::fprintf(stderr, "ui_driver: '%s' needs %zu operands\n", ToUtf8(step).c_str(), count);
        std::exit(1);
      }
      std::vector<std::wstring> values(args.begin() + static_cast<long>(at),
                                       args.begin() + static_cast<long>(at + count));
      at += count;
      return values;
    };
    if (step == L"window" || step == L"window-caption-only") {
      installer::StartUiThread(ui, step == L"window");
    } else if (step == L"error") {
      const std::wstring code = operand(1)[0];
      const bool retry = installer::ShowError(ui, static_cast<installer::ResultCode>(Number(code)));
      PrintLine("error " + ToUtf8(code) + " retry=" + (retry ? "1" : "0"));
    } else if (step == L"url") {
      fallback.Set(ToUtf8(operand(1)[0]));
    } else if (step == L"progress") {
      const std::vector<std::wstring> values = operand(4);
      auto& progress = channel.download;
      progress.bytes_received.store(Number(values[0]), std::memory_order_relaxed);
      progress.bytes_expected.store(Number(values[1]), std::memory_order_relaxed);
      progress.downloading.store(Number(values[2]) != 0, std::memory_order_relaxed);
      progress.retry_countdown.store(static_cast<std::uint32_t>(Number(values[3])),
                                     std::memory_order_relaxed);
    } else if (step == L"hide") {
      installer::HideProgressWindow(ui);
      PrintLine("hide returned");
    } else if (step == L"wait-hidden") {
      if (!WaitUntil(
              [] {
                const HWND window = OwnProgressWindow();
                return window != nullptr && !IsWindowVisible(window);
              },
              std::chrono::milliseconds(kWaitMs))) {
        std::fprintf(stderr, "ui_driver: the progress window stayed visible\n");
        return 2;
      }
      PrintLine("hidden");
    } else if (step == L"wait-cancel") {
      if (!WaitUntil([&channel] { return channel.cancel_requested.load(); },
                     std::chrono::milliseconds(kWaitMs))) {
        std::fprintf(stderr, "ui_driver: no cancel was requested\n");
        return 2;
      }
      PrintLine("cancel requested");
    } else if (step == L"commit") {
      const bool may_begin = installer::WindowCancelPoints(ui).begin_commit();
      PrintLine(std::string("commit ") + (may_begin ? "1" : "0"));
    } else if (step == L"style") {
      HWND window = nullptr;
      if (!WaitUntil([&] { return (window = OwnProgressWindow()) != nullptr; },
                     std::chrono::milliseconds(kWaitMs))) {
        std::fprintf(stderr, "ui_driver: no progress window\n");
        return 2;
      }
      char text[64];
      std::snprintf(text, sizeof text, "style 0x%08lX exstyle 0x%08lX",
                    static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                    static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
      PrintLine(text);
    } else if (step == L"locale") {
      PrintLine("locale " + zevrino::desktop::i18n::gettext::current_locale() +
                " rtl=" + (installer::IsRightToLeftLanguage() ? "1" : "0"));
    } else if (step == L"signal") {
      SignalNamedEvent(operand(1)[0]);
    } else if (step == L"await") {
      if (!AwaitNamedEvent(operand(1)[0], kWaitMs)) {
        std::fprintf(stderr, "ui_driver: event not set\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "ui_driver: unknown step '%s'\n", ToUtf8(step).c_str());
      return 1;
    }
  }
  return 0;
}
