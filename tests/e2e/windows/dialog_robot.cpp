// dialog_robot.exe: finds, reads and answers the windows of another program
// under Wine (message boxes of class "#32770", the installer's progress
// window "ZevrinoInstaller", any other top-level class), for end-to-end
// tests. It never sleeps for a fixed time: every step waits for a condition
// with a time limit.
//
//   dialog_robot.exe [--timeout MS] STEP...
//
// Steps run in order on the "current window" that the last `wait` found:
//   wait CLASS          wait for a visible top-level window of CLASS that no
//                       earlier step has answered; it becomes the current
//                       window and is described (below)
//   describe            describe the current window again
//   press ID            post WM_COMMAND with button ID (IDOK 1, IDCANCEL 2,
//                       IDRETRY 4, IDYES 6, IDNO 7) and wait until the
//                       window is destroyed (a message box is hidden first
//                       and destroyed when its call returns: a message
//                       posted to its owner in between would be handled
//                       inside the ending dialog's loop)
//   close               post WM_CLOSE
//   close-sync          send WM_CLOSE and wait for the reply; fails when
//                       none comes within the time limit (its window
//                       procedure is busy, for example with a modal question)
//   text ID             print "text ID <text>" of child control ID
//   set-text ID TEXT    set child ID's text (an edit field) by WM_SETTEXT
//   wait-text ID TEXT   wait until child ID's text is TEXT, then print it
//   wait-prefix ID TEXT wait until child ID's text starts with TEXT, then
//                       print it (texts with a changing number at the end)
//   wait-style ID MASK VALUE
//                       wait until (style of child ID & MASK) == VALUE (ID 0:
//                       the window itself; numbers, 0x allowed)
//   send ID MSG [W [L]] SendMessage MSG (numbers, 0x allowed) to child ID (0:
//                       the window itself); prints "result ID MSG <value>"
//   wait-hidden         wait until the current window is hidden or gone
//   none CLASS          fail when a visible window of CLASS exists now
//   signal NAME         set the named event NAME (see test_sync_win.h)
//   await NAME          wait until the named event NAME is set
//   wait-mutex NAME     wait until a mutex named NAME exists
//
// A description is printed as lines, texts UTF-8 with \\ \n \r \t escaped:
//   window class=CLASS style=0xXXXXXXXX exstyle=0xXXXXXXXX pid=N thread=N owner=CLASS
//     (thread: the thread that owns the window; owner: the class of the
//     owner window, empty when it has none)
//   title TEXT
//   child id=N class=CLASS style=0xXXXXXXXX text=TEXT   (one per child)
//   end
// Exit code: 0 when every step succeeded; 1 for a bad command line; 2 when a
// step failed or timed out ("failed: ..." on standard error says which).
// The default time limit of a step is 30000 ms.
//
// Without a window manager (Xvfb) Wine waits 2 s for every window it hides,
// the end of each message box included, unless the prefix has
// HKCU\Software\Wine\X11 Driver Managed=N (PrepareWindowsOfPrefix in
// tests/e2e/harness/dialog_robot.h sets it).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/windows/test_sync_win.h"

namespace {

using namespace zevrino::e2e;

constexpr UINT kMessageTimeoutMs = 5000;

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The text by WM_GETTEXT, which Wine passes between processes.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &length)) {
    return L"";
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
  text.resize(copied);
  return text;
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

struct Finder {
  std::wstring class_name;
  const std::set<HWND>* skip;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM context) {
  auto* finder = reinterpret_cast<Finder*>(context);
  if (IsWindowVisible(window) && ClassOf(window) == finder->class_name &&
      finder->skip->count(window) == 0) {
    finder->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindVisibleWindow(const std::wstring& class_name, const std::set<HWND>& skip) {
  Finder finder{class_name, &skip, nullptr};
  EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&finder));
  return finder.found;
}

BOOL CALLBACK DescribeChild(HWND child, LPARAM) {
  PrintLine("child id=" + std::to_string(GetDlgCtrlID(child)) + " class=" + ToUtf8(ClassOf(child)) +
            " style=" + Hex(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE))) +
            " text=" + Escape(ToUtf8(TextOf(child))));
  return TRUE;
}

void Describe(HWND window) {
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &pid);
  const HWND owner = GetWindow(window, GW_OWNER);
  PrintLine("window class=" + ToUtf8(ClassOf(window)) +
            " style=" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
            " exstyle=" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE))) +
            " pid=" + std::to_string(pid) + " thread=" + std::to_string(thread) +
            " owner=" + ToUtf8(owner != nullptr ? ClassOf(owner) : std::wstring()));
  PrintLine("title " + Escape(ToUtf8(TextOf(window))));
  EnumChildWindows(window, DescribeChild, 0);
  PrintLine("end");
}

bool Gone(HWND window) {
  return !IsWindow(window) || !IsWindowVisible(window);
}

long long Number(const std::wstring& text) {
  return std::wcstoll(text.c_str(), nullptr, 0);
}

class Robot {
 public:
  explicit Robot(DWORD timeout_ms) : timeout_ms_(timeout_ms) {}

  // Runs the steps from args[at]; returns the exit code.
  int Run(const std::vector<std::wstring>& args, std::size_t at) {
    // Events this run awaits exist from the start, so a signal that comes
    // before the step is not lost with the other side's handle.
    for (std::size_t i = at; i + 1 < args.size(); ++i) {
      if (args[i] == L"await") {
        awaited_.emplace_back(CreateEventW(nullptr, TRUE, FALSE, args[i + 1].c_str()));
      }
    }
    while (at < args.size()) {
      const std::wstring step = args[at++];
      const std::size_t operands = OperandCount(step, args, at);
      if (operands == kUnknownStep || at + operands > args.size()) {
        std::fprintf(stderr, "dialog_robot: bad step '%s'\n", ToUtf8(step).c_str());
        return 1;
      }
      const std::vector<std::wstring> operand(args.begin() + static_cast<long>(at),
                                              args.begin() + static_cast<long>(at + operands));
      at += operands;
      std::string failure;
      if (!RunStep(step, operand, &failure)) {
        std::string text = ToUtf8(step);
        for (const auto& o : operand) {
          text += " " + ToUtf8(o);
        }
        std::fprintf(stderr, "failed: %s: %s\n", text.c_str(), failure.c_str());
        return 2;
      }
    }
    return 0;
  }

 private:
  static constexpr std::size_t kUnknownStep = 99;

  static std::size_t OperandCount(const std::wstring& step, const std::vector<std::wstring>& args,
                                  std::size_t at) {
    if (step == L"describe" || step == L"close" || step == L"close-sync" ||
        step == L"wait-hidden") {
      return 0;
    }
    if (step == L"wait" || step == L"press" || step == L"text" || step == L"none" ||
        step == L"signal" || step == L"await" || step == L"wait-mutex") {
      return 1;
    }
    if (step == L"wait-text" || step == L"wait-prefix" || step == L"set-text") {
      return 2;
    }
    if (step == L"wait-style") {
      return 3;
    }
    if (step == L"send") {
      // ID MSG and up to two numbers; a following word is the next step.
      std::size_t count = 2;
      while (count < 4 && at + count < args.size() && !args[at + count].empty() &&
             (iswdigit(args[at + count][0]) || args[at + count][0] == L'-')) {
        ++count;
      }
      return count;
    }
    return kUnknownStep;
  }

  bool NeedWindow(std::string* failure) const {
    if (current_ == nullptr) {
      *failure = "no current window (use wait first)";
      return false;
    }
    return true;
  }

  HWND Child(const std::wstring& id) const {
    const long long number = Number(id);
    return number == 0 ? current_ : GetDlgItem(current_, static_cast<int>(number));
  }

  bool RunStep(const std::wstring& step, const std::vector<std::wstring>& operand,
               std::string* failure) {
    if (step == L"wait") {
      HWND found = nullptr;
      if (!WaitUntil([&] { return (found = FindVisibleWindow(operand[0], answered_)) != nullptr; },
                     std::chrono::milliseconds(timeout_ms_))) {
        *failure = "no such window appeared";
        return false;
      }
      current_ = found;
      Describe(current_);
      return true;
    }
    if (step == L"none") {
      if (FindVisibleWindow(operand[0], {}) != nullptr) {
        *failure = "a window of that class is shown";
        return false;
      }
      PrintLine("none " + ToUtf8(operand[0]));
      return true;
    }
    if (step == L"signal") {
      if (!SignalNamedEvent(operand[0])) {
        *failure = "CreateEventW failed";
        return false;
      }
      return true;
    }
    if (step == L"await") {
      if (!AwaitNamedEvent(operand[0], timeout_ms_)) {
        *failure = "the event was not set";
        return false;
      }
      return true;
    }
    if (step == L"wait-mutex") {
      const auto exists = [&] {
        return ScopedKernelHandle(OpenMutexW(SYNCHRONIZE, FALSE, operand[0].c_str())).valid();
      };
      if (!WaitUntil(exists, std::chrono::milliseconds(timeout_ms_))) {
        *failure = "no such mutex appeared";
        return false;
      }
      PrintLine("mutex " + ToUtf8(operand[0]));
      return true;
    }
    if (!NeedWindow(failure)) {
      return false;
    }
    if (step == L"describe") {
      Describe(current_);
      return true;
    }
    if (step == L"press") {
      const WORD id = static_cast<WORD>(Number(operand[0]));
      answered_.insert(current_);
      PostMessageW(current_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
      if (!WaitUntil([&] { return !IsWindow(current_); }, std::chrono::milliseconds(timeout_ms_))) {
        *failure = "the window stayed after the button";
        return false;
      }
      PrintLine("pressed " + std::to_string(id));
      return true;
    }
    if (step == L"close") {
      PostMessageW(current_, WM_CLOSE, 0, 0);
      PrintLine("close posted");
      return true;
    }
    if (step == L"close-sync") {
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutW(current_, WM_CLOSE, 0, 0, SMTO_NORMAL, timeout_ms_, &result)) {
        *failure = "no reply to WM_CLOSE";
        return false;
      }
      PrintLine("closed " + std::to_string(result));
      return true;
    }
    if (step == L"set-text") {
      DWORD_PTR ignored = 0;
      if (!NeedWindow(failure) ||
          !SendMessageTimeoutW(Child(operand[0]), WM_SETTEXT, 0,
                               reinterpret_cast<LPARAM>(operand[1].c_str()), SMTO_ABORTIFHUNG,
                               kMessageTimeoutMs, &ignored)) {
        *failure = failure->empty() ? "set-text: no answer" : *failure;
        return false;
      }
      return true;
    }
    if (step == L"text") {
      PrintLine("text " + ToUtf8(operand[0]) + " " + Escape(ToUtf8(TextOf(Child(operand[0])))));
      return true;
    }
    if (step == L"wait-text") {
      std::wstring text;
      if (!WaitUntil([&] { return (text = TextOf(Child(operand[0]))) == operand[1]; },
                     std::chrono::milliseconds(timeout_ms_))) {
        *failure = "the text stayed '" + ToUtf8(text) + "'";
        return false;
      }
      PrintLine("text " + ToUtf8(operand[0]) + " " + Escape(ToUtf8(text)));
      return true;
    }
    if (step == L"wait-prefix") {
      std::wstring text;
      if (!WaitUntil(
              [&] {
                text = TextOf(Child(operand[0]));
                return text.compare(0, operand[1].size(), operand[1]) == 0;
              },
              std::chrono::milliseconds(timeout_ms_))) {
        *failure = "the text stayed '" + ToUtf8(text) + "'";
        return false;
      }
      PrintLine("text " + ToUtf8(operand[0]) + " " + Escape(ToUtf8(text)));
      return true;
    }
    if (step == L"wait-style") {
      const DWORD mask = static_cast<DWORD>(Number(operand[1]));
      const DWORD value = static_cast<DWORD>(Number(operand[2]));
      DWORD style = 0;
      if (!WaitUntil(
              [&] {
                style = static_cast<DWORD>(GetWindowLongW(Child(operand[0]), GWL_STYLE));
                return (style & mask) == value;
              },
              std::chrono::milliseconds(timeout_ms_))) {
        *failure = "the style stayed " + Hex(style);
        return false;
      }
      PrintLine("style " + ToUtf8(operand[0]) + " " + Hex(style));
      return true;
    }
    if (step == L"send") {
      const WPARAM wparam = operand.size() > 2 ? static_cast<WPARAM>(Number(operand[2])) : 0;
      const LPARAM lparam = operand.size() > 3 ? static_cast<LPARAM>(Number(operand[3])) : 0;
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutW(Child(operand[0]), static_cast<UINT>(Number(operand[1])), wparam,
                               lparam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)) {
        *failure = "no reply";
        return false;
      }
      PrintLine("result " + ToUtf8(operand[0]) + " " + ToUtf8(operand[1]) + " " +
                std::to_string(static_cast<long long>(result)));
      return true;
    }
    if (step == L"wait-hidden") {
      if (!WaitUntil([&] { return Gone(current_); }, std::chrono::milliseconds(timeout_ms_))) {
        *failure = "the window stayed visible";
        return false;
      }
      PrintLine("hidden");
      return true;
    }
    *failure = "unknown step";
    return false;
  }

  DWORD timeout_ms_;
  HWND current_ = nullptr;
  std::set<HWND> answered_;
  std::vector<ScopedKernelHandle> awaited_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::size_t at = 0;
  DWORD timeout_ms = 30000;
  if (args.size() >= 2 && args[0] == L"--timeout") {
    timeout_ms = static_cast<DWORD>(Number(args[1]));
    at = 2;
  }
  if (at >= args.size()) {
    std::fprintf(stderr, "usage: dialog_robot.exe [--timeout MS] STEP... (see its source)\n");
    return 1;
  }
  return Robot(timeout_ms).Run(args, at);
}
