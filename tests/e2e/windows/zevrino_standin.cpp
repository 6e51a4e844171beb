// zevrino_standin.exe: stands in for the installed application, Zevrino.exe,
// in tests and in the sample application of the demo. It offers the
// installer exactly what the real application offers:
//
//   - each start is noted in "<own path>.log", one line per start, like
//     recorder.exe: <command line> TAB <current directory> CR LF;
//   - while it runs it holds the mutex "ZevrinoProcessMutex", the file
//     mapping "ZevrinoWindowHandle" whose first 8 bytes hold its main window
//     handle (64-bit), a hidden top-level window of class "ZevrinoMainWindow"
//     and one of class "ZevrinoHttpsListener", both served by its one window
//     thread;
//   - it reacts to the close messages (WM_QUERYENDSESSION, WM_CLOSE,
//     WM_QUIT, WM_DESTROY sent to either window, WM_APP + 1 to the listener)
//     as its behaviour file says;
//   - its version resource carries the product version chosen by the build
//     (see CMakeLists.txt: one exe per version).
//
// The start log line is written once every object exists, so a test that
// sees it knows the objects are there. A start whose command line holds
// "/uninstall" only notes its start and exits with 0, as an uninstaller
// would.
//
// Behaviour: the installer starts the application with fixed arguments, so
// the behaviour is chosen by the file "<own path>.behaviour" (absent: every
// default below). One "key=value" per line; blank lines and lines starting
// with '#' are ignored:
//
//   objects=mutex,mapping,main,listener  which objects to create (default:
//                                        all four; "none" for none)
//   main=first       reaction of the main window (default "first"):
//   listener=first   reaction of the listener window (default "first"):
//                      first    exit after the first close message
//                      ignore   answer every close message, keep running
//                      WM_CLOSE (or WM_QUERYENDSESSION, WM_QUIT, WM_DESTROY,
//                               WM_APP+1) answer the others, exit after
//                               this one
//   hang=yes         once the objects exist the window thread stops serving
//                    its windows for good (a hung application)
//   exit-code=N      exit code when it exits by itself (default 0)
//   extra-mutex=NAME also hold the named mutex NAME while running (may be
//                    given more than once)
//
// "<own path>.messages" records, one line each (CR LF), every close message
// as "<main|listener> <message name>" in the order received, and "exit" when
// the program ends by itself; so the line before "exit" names the message
// that closed it, and a terminated program has no "exit" line. A behaviour
// file it cannot read ends the program with exit code 2 after the line
// "error <reason>" (and the start line).

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/e2e/windows/start_record_win.h"

namespace {

using zevrino::e2e::AppendToFile;
using zevrino::e2e::ReadPlainFile;
using zevrino::e2e::RecordStart;
using zevrino::e2e::ScopedKernelHandle;

// A reaction is the message after which the window ends its process, or one
// of these two.
constexpr UINT kAnyMessage = 0xFFFFFFFE;
constexpr UINT kNoMessage = 0xFFFFFFFF;

struct NamedMessage {
  const char* name;
  UINT message;
};
constexpr NamedMessage kCloseMessages[] = {{"WM_QUERYENDSESSION", WM_QUERYENDSESSION},
                                           {"WM_CLOSE", WM_CLOSE},
                                           {"WM_QUIT", WM_QUIT},
                                           {"WM_DESTROY", WM_DESTROY},
                                           {"WM_APP+1", WM_APP + 1}};

const char* CloseMessageName(UINT message) {
  for (const NamedMessage& entry : kCloseMessages) {
    if (entry.message == message) {
      return entry.name;
    }
  }
  return nullptr;
}

struct Behaviour {
  bool mutex = true;
  bool mapping = true;
  bool main_window = true;
  bool listener = true;
  UINT main_exit_on = kAnyMessage;
  UINT listener_exit_on = kAnyMessage;
  bool hang = false;
  int exit_code = 0;
  std::vector<std::wstring> extra_mutexes;
};

bool ParseReaction(const std::string& value, UINT* reaction) {
  if (value == "first") {
    *reaction = kAnyMessage;
    return true;
  }
  if (value == "ignore") {
    *reaction = kNoMessage;
    return true;
  }
  for (const NamedMessage& entry : kCloseMessages) {
    if (value == entry.name) {
      *reaction = entry.message;
      return true;
    }
  }
  return false;
}

bool ParseObjects(const std::string& value, Behaviour* behaviour) {
  behaviour->mutex = behaviour->mapping = behaviour->main_window = behaviour->listener = false;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find(',', start);
    if (end == std::string::npos) {
      end = value.size();
    }
    const std::string item = value.substr(start, end - start);
    if (item == "mutex") {
      behaviour->mutex = true;
    } else if (item == "mapping") {
      behaviour->mapping = true;
    } else if (item == "main") {
      behaviour->main_window = true;
    } else if (item == "listener") {
      behaviour->listener = true;
    } else if (item != "none") {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// Reads "<own path>.behaviour"; a missing file leaves the defaults.
bool ReadBehaviour(const std::wstring& path, Behaviour* behaviour, std::string* error) {
  bool found = false;
  const std::string text = ReadPlainFile(path, &found);
  std::size_t start = 0;
  while (found && start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.empty() || line[0] == '#') {
      continue;
    }
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
    bool ok = true;
    if (equals == std::string::npos) {
      ok = false;
    } else if (key == "objects") {
      ok = ParseObjects(value, behaviour);
    } else if (key == "main") {
      ok = ParseReaction(value, &behaviour->main_exit_on);
    } else if (key == "listener") {
      ok = ParseReaction(value, &behaviour->listener_exit_on);
    } else if (key == "hang") {
      ok = value == "yes" || value == "no";
      behaviour->hang = value == "yes";
    } else if (key == "exit-code") {
      char* rest = nullptr;
      behaviour->exit_code = static_cast<int>(std::strtol(value.c_str(), &rest, 10));
      ok = !value.empty() && *rest == '\0';
    } else if (key == "extra-mutex") {
      behaviour->extra_mutexes.push_back(zevrino::e2e::FromUtf8(value));
      ok = !value.empty();
    } else {
      ok = false;
    }
    if (!ok) {
      *error = "bad behaviour line: " + line;
      return false;
    }
  }
  return true;
}

// What a window procedure needs: its name in the messages file, its
// reaction, and the process-wide state it shares with the other window.
struct ProcessState {
  std::wstring messages_path;
  bool exiting = false;
};
struct WindowRole {
  const char* name;
  bool listener;
  UINT exit_on;
  ProcessState* state;
};

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* role = reinterpret_cast<WindowRole*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  const char* name = CloseMessageName(message);
  // WM_APP + 1 is a close message for the listener only.
  if (role == nullptr || name == nullptr || (message == WM_APP + 1 && !role->listener)) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
  // Never DefWindowProc: it would destroy the window on WM_CLOSE. Once the
  // program has decided to exit, whatever still arrives (the system's own
  // clean-up included) is not recorded.
  if (!role->state->exiting) {
    AppendToFile(role->state->messages_path, std::string(role->name) + " " + name + "\r\n");
    if (role->exit_on == kAnyMessage || role->exit_on == message) {
      role->state->exiting = true;
      // The sender gets its answer first; the message loop then ends.
      PostQuitMessage(0);
    }
  }
  return message == WM_QUERYENDSESSION ? TRUE : 0;
}

HWND CreateRoleWindow(HINSTANCE instance, const wchar_t* class_name, WindowRole* role) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = WindowProcedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = class_name;
  RegisterClassExW(&window_class);
  // Hidden top-level windows: FindWindow finds them (it would not find
  // message-only windows), and nothing shows on the test display.
  return CreateWindowExW(0, class_name, L"Zevrino", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, role);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::wstring own_path = zevrino::e2e::OwnPath();
  if (own_path.empty()) {
    return 240;
  }
  ProcessState state;
  state.messages_path = own_path + L".messages";
  if (std::wcsstr(GetCommandLineW(), L"/uninstall") != nullptr) {
    RecordStart(own_path);
    return 0;
  }

  Behaviour behaviour;
  std::string error;
  if (!ReadBehaviour(own_path + L".behaviour", &behaviour, &error)) {
    AppendToFile(state.messages_path, "error " + error + "\r\n");
    RecordStart(own_path);
    return 2;
  }

  // Every handle stays open until the process ends: the objects exist
  // exactly while the program runs.
  std::vector<ScopedKernelHandle> mutexes;
  if (behaviour.mutex) {
    mutexes.emplace_back(CreateMutexW(nullptr, FALSE, L"ZevrinoProcessMutex"));
  }
  for (const std::wstring& name : behaviour.extra_mutexes) {
    mutexes.emplace_back(CreateMutexW(nullptr, FALSE, name.c_str()));
  }
  WindowRole main_role = {"main", false, behaviour.main_exit_on, &state};
  WindowRole listener_role = {"listener", true, behaviour.listener_exit_on, &state};
  HWND main_window = nullptr;
  if (behaviour.main_window) {
    main_window = CreateRoleWindow(instance, L"ZevrinoMainWindow", &main_role);
  }
  if (behaviour.listener) {
    CreateRoleWindow(instance, L"ZevrinoHttpsListener", &listener_role);
  }
  ScopedKernelHandle mapping;
  void* view = nullptr;
  if (behaviour.mapping) {
    mapping =
        ScopedKernelHandle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              sizeof(std::uint64_t), L"ZevrinoWindowHandle"));
    view =
        mapping.get() != nullptr ? MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    if (view != nullptr) {
      const auto handle = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(main_window));
      std::memcpy(view, &handle, sizeof handle);
    }
  }
  RecordStart(own_path);

  if (behaviour.hang) {
    // Windows (and Wine) count a thread as hung when it has not asked for
    // messages for five seconds; senders using SMTO_ABORTIFHUNG then fail
    // at once.
    for (;;) {
      Sleep(INFINITE);
    }
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  AppendToFile(state.messages_path, "exit\r\n");
  if (view != nullptr) {
    UnmapViewOfFile(view);
  }
  return behaviour.exit_code;
}
