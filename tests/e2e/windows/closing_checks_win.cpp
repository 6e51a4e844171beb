// Finding and closing the running application, against stand-ins that
// react to the close messages in every way the installer must cope with.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/harness/start_log.h"
#include "tests/e2e/windows/standin_control_win.h"
#include "ui/running_application_win.h"

namespace zevrino::e2e {
namespace {

namespace installer = desktop::installer;

// The installer's own time-out: a stand-in exits well within it after the
// message it waits for, even on a busy machine; every message it does not
// exit on costs one such wait.
constexpr DWORD kTimeoutMs = installer::kCloseTimeoutMs;

using Lines = std::vector<std::string>;

class ClosingTest : public ::testing::Test {
 protected:
  void TearDown() override { EndEveryStandin(); }
};

// One stand-in per reaction, each closed in turn: the sequence stops at
// the first message after which the process ends. (Ending on the first and
// being terminated after all four are seen in the install and update runs.)
TEST_F(ClosingTest, SequenceStopsWhereTheApplicationExits) {
  struct Case {
    const char* name;
    const char* behaviour;
    Lines messages;
    DWORD exit_code;
  };
  const Case cases[] = {
      {"on-close",
       "main=WM_CLOSE\nexit-code=7\n",
       {"main WM_QUERYENDSESSION", "main WM_CLOSE", "exit"},
       7},
      {"on-destroy",
       "main=WM_DESTROY\nexit-code=7\n",
       {"main WM_QUERYENDSESSION", "main WM_CLOSE", "main WM_QUIT", "main WM_DESTROY", "exit"},
       7},
      // No mapping: the window is found by its class.
      {"no-mapping",
       "objects=mutex,main,listener\nexit-code=7\n",
       {"main WM_QUERYENDSESSION", "exit"},
       7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Standin app(std::wstring(c.name, c.name + std::strlen(c.name)), c.behaviour);
    ASSERT_TRUE(app.started());
    HWND window = nullptr;
    ASSERT_TRUE(installer::IsApplicationRunning(&window));
    EXPECT_EQ(window, app.Window());
    EXPECT_TRUE(installer::CloseApplication(app.Path(), kTimeoutMs));
    EXPECT_FALSE(app.Running());
    EXPECT_EQ(app.Messages(), c.messages);
    EXPECT_EQ(app.ExitCode(), c.exit_code);
    EXPECT_FALSE(installer::IsApplicationRunning());
  }
}

TEST_F(ClosingTest, ListenerSequenceStartsWithItsOwnMessage) {
  Standin app(L"listener", "listener=WM_CLOSE\nexit-code=7\n");
  ASSERT_TRUE(app.started());
  installer::CloseHttpsListener(app.Path(), kTimeoutMs);
  EXPECT_FALSE(app.Running());
  EXPECT_EQ(app.Messages(), (Lines{"listener WM_APP+1", "listener WM_CLOSE", "exit"}));
  EXPECT_EQ(app.ExitCode(), 7u);
}

// The application is recognised by its mutex and its shared window handle
// only: another process's window of the same class neither makes it count
// as running nor is closed in its place.
TEST_F(ClosingTest, OnlyTheApplicationsOwnObjectsCount) {
  {
    Standin app(L"app", "");
    ASSERT_TRUE(app.started());
    Standin lookalike(L"lookalike", "objects=main,listener\n");
    ASSERT_TRUE(lookalike.started());
    // The look-alike's window is the one a search by class finds first,
    // so only the mapping can lead to the application's.
    ASSERT_EQ(FindWindowA("ZevrinoMainWindow", nullptr), lookalike.Window());
    EXPECT_EQ(installer::FindApplicationWindow(), app.Window());
    EXPECT_TRUE(installer::CloseApplication(app.Path(), kTimeoutMs));
    EXPECT_FALSE(app.Running());
    EXPECT_TRUE(lookalike.Running());
    EXPECT_EQ(lookalike.Messages(), Lines{});

    // Without the mutex the look-alike does not count as running at all.
    EXPECT_FALSE(installer::IsApplicationRunning());
    EXPECT_FALSE(installer::CloseApplication(lookalike.Path(), kTimeoutMs));
    EXPECT_TRUE(lookalike.Running());
    EXPECT_EQ(lookalike.Messages(), Lines{});
  }
  // Running, but no window to be found: nothing can be sent or terminated.
  Standin windowless(L"windowless", "objects=mutex\n");
  ASSERT_TRUE(windowless.started());
  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_TRUE(installer::IsApplicationRunning(&window));
  EXPECT_EQ(window, nullptr);
  EXPECT_FALSE(installer::CloseApplication(windowless.Path(), kTimeoutMs));
  EXPECT_TRUE(windowless.Running());
}

// The mapping names a window whose process runs another program than the
// installation's: nothing is sent to it and it is not terminated, even
// when it would ignore every message.
TEST_F(ClosingTest, AnotherProgramsWindowIsLeftAlone) {
  Standin foreign(L"foreign", "main=ignore\nlistener=ignore\n");
  ASSERT_TRUE(foreign.started());
  const std::wstring installed = WorkFolder() + L"\\Zevrino.exe";
  ASSERT_TRUE(CopyTestProgram(L"zevrino_standin.exe", installed));
  EXPECT_FALSE(installer::CloseApplication(installed, kTimeoutMs));
  installer::CloseHttpsListener(installed, kTimeoutMs);
  EXPECT_TRUE(foreign.Running());
  EXPECT_EQ(foreign.Messages(), Lines{});
}

// A window thread that no longer asks for messages: each send fails at once
// (SMTO_ABORTIFHUNG) instead of taking its time-out, and the process is
// terminated. With a time-out of 60 s, four sends that waited would take
// four minutes; the whole close must take less than one.
TEST_F(ClosingTest, HungApplicationIsTerminatedWithoutWaitingOnItsSends) {
  Standin app(L"hung", "hang=yes\nexit-code=7\n");
  ASSERT_TRUE(app.started());
  const HWND window = app.Window();
  ASSERT_NE(window, nullptr);
  // Windows and Wine call a thread hung five seconds after it last asked
  // for a message.
  ASSERT_TRUE(
      WaitUntil([&] { return IsHungAppWindow(window) != FALSE; }, std::chrono::seconds(60)));

  constexpr DWORD kLongTimeoutMs = 60000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(installer::CloseApplication(app.Path(), kLongTimeoutMs));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(kLongTimeoutMs));
  EXPECT_FALSE(app.Running());
  EXPECT_EQ(app.ExitCode(), 0u);
  EXPECT_EQ(app.Messages(), Lines{});
}

int own_window_messages = 0;

LRESULT CALLBACK CountingWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_QUERYENDSESSION || message == WM_CLOSE || message == WM_QUIT ||
      message == WM_DESTROY) {
    ++own_window_messages;
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// The application's objects all lead back to the calling process (a stale
// or planted window handle): nothing is sent, and the process does not
// terminate itself. If it did, this program would end with exit code 0
// before gtest's summary, which the host test notices.
TEST_F(ClosingTest, NeverClosesItsOwnProcess) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = CountingWindowProcedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"ZevrinoMainWindow";
  ASSERT_NE(RegisterClassExW(&window_class), 0);
  const HWND window = CreateWindowExW(0, L"ZevrinoMainWindow", L"own", WS_OVERLAPPEDWINDOW, 0, 0,
                                      100, 100, nullptr, nullptr, window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  const ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, L"ZevrinoProcessMutex"));
  const ScopedKernelHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                      0, 8, L"ZevrinoWindowHandle"));
  ASSERT_NE(mapping.get(), nullptr);
  void* view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  const auto handle = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window));
  std::memcpy(view, &handle, sizeof handle);

  EXPECT_TRUE(installer::IsApplicationRunning());
  EXPECT_EQ(installer::FindApplicationWindow(), window);
  wchar_t own_program[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, own_program, MAX_PATH), 0u);
  EXPECT_FALSE(installer::CloseApplication(own_program, 1000));
  EXPECT_EQ(own_window_messages, 0);

  UnmapViewOfFile(view);
  DestroyWindow(window);
  UnregisterClassW(L"ZevrinoMainWindow", window_class.hInstance);
}

}  // namespace
}  // namespace zevrino::e2e
