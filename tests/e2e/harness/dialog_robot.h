#pragma once
// Host side of dialog_robot.exe (tests/e2e/windows/dialog_robot.cpp, whose
// header lists the steps): runs it in a prefix and parses what it printed,
// and starts the program under test in the background meanwhile.
//
//   auto installer = StartAsUser(*prefix_, InstallerStubExe(), {});
//   const RobotOutput robot = RunDialogRobot(*prefix_, {"wait", "#32770", "press", "1"});
//   ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
//   EXPECT_EQ(robot.windows[0].MessageText(), "...");
//   EXPECT_TRUE(installer.get().ExitedWith(4));

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {

// Message box ids: the message text is the static control 0xFFFF.
constexpr int kMessageTextId = 0xFFFF;
constexpr int kIdOk = 1, kIdCancel = 2, kIdRetry = 4, kIdYes = 6, kIdNo = 7, kIdContinue = 11;

struct RobotChild {
  int id = 0;
  std::string class_name;
  std::uint32_t style = 0;
  std::string text;  // UTF-8, unescaped
};

struct RobotWindow {
  std::string class_name;
  std::string owner_class;   // empty: no owner
  std::uint32_t thread = 0;  // the thread that owns the window
  std::uint32_t style = 0;
  std::uint32_t ex_style = 0;
  std::string title;
  std::vector<RobotChild> children;

  const RobotChild* Child(int id) const;
  // The message box's text; empty when there is no such control.
  std::string MessageText() const;
  // The ids of the push buttons, in window order.
  std::vector<int> ButtonIds() const;
};

struct RobotOutput {
  ProcessResult process;
  std::vector<RobotWindow> windows;  // every description, in order
  std::vector<std::string> lines;    // every other line ("pressed 1", "text 50 ...")

  bool Succeeded() const { return process.ExitedWith(0); }
  std::string Describe() const { return e2e::Describe(process); }
};

std::filesystem::path DialogRobotExe();

// Once per prefix before windows are shown: windows unmanaged (without a
// window manager Wine otherwise waits 2 s for each window it hides, a
// message box's end included) and captions drawn by Wine itself (for
// screenshots). False with *error when `reg add` failed.
bool PrepareWindowsOfPrefix(const WinePrefix& prefix, std::string* error);

// Once per prefix: Wine's relay channel traces the message-box calls only.
// A program started with MessageBoxTraceEnvironment() then writes each
// call, with its style word, to standard error; MessageBoxStyles reads them
// back in call order. (Wine 8 shows neither MB_RTLREADING nor, in a
// right-to-left locale, any difference in window styles.)
bool TraceMessageBoxCalls(const WinePrefix& prefix, std::string* error);
Environment MessageBoxTraceEnvironment();
std::vector<std::uint32_t> MessageBoxStyles(const std::string& standard_error);

// Runs the robot (as the full-token user: it only reads and answers windows)
// with the given steps; `step_timeout` is its --timeout.
RobotOutput RunDialogRobot(const WinePrefix& prefix, const std::vector<std::string>& steps,
                           std::chrono::milliseconds step_timeout = std::chrono::seconds(30));

// Starts `program` as a normal user (run_limited.exe) and returns at once;
// the future holds its result once it has exited.
std::future<ProcessResult> StartAsUser(const WinePrefix& prefix,
                                       const std::filesystem::path& program,
                                       std::vector<std::string> args, Environment environment = {},
                                       std::chrono::milliseconds timeout = std::chrono::minutes(3));

// The lines a program under test printed (standard output split at line
// feeds, CR removed).
std::vector<std::string> OutputLines(const std::string& out);

}  // namespace zevrino::e2e
