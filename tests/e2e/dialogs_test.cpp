// The installer's real dialogs and progress window under Wine, answered by
// dialog_robot.exe: ui_driver.exe calls ShowError and the progress window as
// its arguments say, and the bare installer_stub.exe shows its payload error.
// Message-box calls are traced (Wine's relay channel, limited to them) to see
// the style words passed: Wine 8 neither shows MB_RTLREADING nor lets window
// styles tell it, since in a right-to-left locale it mirrors every window.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/harness/dialog_robot.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/url_recorder.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

using namespace std::chrono_literals;

constexpr char kDownloadPage[] = "https://www.zevrino.com/download";
constexpr char kVendorFullInstaller[] = "https://download.zevrino.com/desktop/ZevrinoSetup.exe";

const std::string kCorrupt =
    "The installer is corrupt. Please download it from the web site again and retry.";
const std::string kNoSpace =
    "The computer has not enough free memory and disk space. Please close some programs and "
    "delete some files from the disk and retry.\n\n";
const std::string kNotCreated =
    "The installer is unable to install Zevrino because the neccessary files could not be "
    "created.";
const std::string kInUse =
    "The installer is unable to install Zevrino because the files to be written are in use by "
    "another process. Please make sure Zevrino is not running and retry.";
const std::string kUseBrowser =
    "Automatic download failed. Press OK to download the installer from your browser.";
const std::string kCancelQuestion =
    "The installation of Zevrino is not complete. Do you want to cancel?";

Environment Language(const std::string& locale) {
  return {{"LC_ALL", locale}, {"LANG", locale}};
}

Environment WithMessageBoxTrace(Environment environment) {
  const Environment trace = MessageBoxTraceEnvironment();
  environment.insert(environment.end(), trace.begin(), trace.end());
  return environment;
}

std::vector<std::string> Without(const std::vector<std::string>& lines, const std::string& start) {
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    if (line.compare(0, start.size(), start) != 0) {
      kept.push_back(line);
    }
  }
  return kept;
}

class DialogsTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(DialogRobotExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(UiDriverExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ASSERT_TRUE(OpenSharedPrefix({"dialogs"})) << PrefixError();
    if (!prefix_prepared_) {
      std::string error;
      ASSERT_TRUE(PrepareWindowsOfPrefix(*prefix_, &error)) << error;
      ASSERT_TRUE(TraceMessageBoxCalls(*prefix_, &error)) << error;
      prefix_prepared_ = true;
    }
  }

  static fs::path UiDriverExe() { return WindowsTestProgram("ui_driver.exe"); }

  std::future<ProcessResult> StartDriver(std::vector<std::string> steps,
                                         Environment environment = {}) {
    return StartAsUser(*prefix_, UiDriverExe(), std::move(steps), std::move(environment));
  }

  std::unique_ptr<UrlRecorder> RecordHttps() {
    std::string error;
    auto recorder =
        std::make_unique<UrlRecorder>(*prefix_, "https", prefix_->DriveC() / "zv-dialogs", &error);
    EXPECT_TRUE(recorder->valid()) << error;
    return recorder;
  }

  static inline bool prefix_prepared_ = false;
};

// Rows of the error table, one per kind of button set, answer and browser
// target (every row's text and buttons are error_table_test's), first on
// the calling thread (no UI thread yet), then through the progress window's
// thread: text, buttons, the answer returned, the page opened and the style
// word.
TEST_F(DialogsTest, ErrorTableRowsAnswersAndBrowserTargets) {
  const auto recorder = RecordHttps();
  const std::string url = "https://127.0.0.1:9/full/X64/ZevrinoSetup.exe?arch=X64";
  struct Row {
    std::string code;
    std::string message;
    std::vector<int> buttons;
    int press;
    std::string retry;  // what ShowError returns
    std::uint32_t style;
  };
  const std::vector<int> ok = {kIdOk}, ok_cancel = {kIdOk, kIdCancel},
                         retry_cancel = {kIdRetry, kIdCancel};
  const std::vector<Row> rows = {
      {"4", kCorrupt, ok, kIdOk, "0", 0x30},
      {"12", kNoSpace, retry_cancel, kIdRetry, "1", 0x35},
      {"57", kUseBrowser, ok_cancel, kIdOk, "0", 0x31},  // no address set: the vendor's
      // From here on the dialogs run on the UI thread.
      {"18", kInUse, retry_cancel, kIdCancel, "0", 0x35},
      {"13", kNotCreated, retry_cancel, kIdRetry, "1", 0x35},
      {"57", kUseBrowser, ok_cancel, kIdCancel, "0", 0x31},  // Cancel: no browser
      {"57", kUseBrowser, ok_cancel, kIdOk, "0", 0x31},      // the address set
  };
  constexpr std::size_t kOnUiThread = 3, kAddressSet = 6;
  std::vector<std::string> driver_steps = {"locale"};
  std::vector<std::string> robot_steps;
  std::vector<std::string> expected_results;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i == kOnUiThread) {
      driver_steps.insert(driver_steps.end(), {"error", "19", "window"});  // 19: no dialog
      expected_results.push_back("error 19 retry=0");
    }
    if (i == kAddressSet) {
      driver_steps.insert(driver_steps.end(), {"url", url});
    }
    driver_steps.insert(driver_steps.end(), {"error", rows[i].code});
    if (i == kOnUiThread) {
      robot_steps.insert(robot_steps.end(), {"wait", "ZevrinoInstaller"});
    }
    robot_steps.insert(robot_steps.end(),
                       {"wait", "#32770", "press", std::to_string(rows[i].press)});
    expected_results.push_back("error " + rows[i].code + " retry=" + rows[i].retry);
  }

  auto driver = StartDriver(driver_steps, WithMessageBoxTrace(Language("en_US.UTF-8")));
  const RobotOutput robot = RunDialogRobot(*prefix_, robot_steps);
  const ProcessResult result = driver.get();
  ASSERT_TRUE(robot.Succeeded()) << robot.Describe() << "\ndriver:\n" << result.out;
  ASSERT_TRUE(result.ExitedWith(0)) << result.out;
  // The dialogs, with the progress window described before the first on
  // its thread.
  ASSERT_EQ(robot.windows.size(), rows.size() + 1);
  std::vector<RobotWindow> dialogs = robot.windows;
  const RobotWindow progress_window = dialogs[kOnUiThread];
  ASSERT_EQ(progress_window.class_name, "ZevrinoInstaller");
  dialogs.erase(dialogs.begin() + kOnUiThread);

  std::vector<std::uint32_t> expected_styles;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const RobotWindow& dialog = dialogs[i];
    SCOPED_TRACE("code " + row.code + ", dialog " + std::to_string(i));
    EXPECT_EQ(dialog.title, "Zevrino");
    EXPECT_EQ(dialog.MessageText(), row.message + "\n\n(Error code: " + row.code + ")");
    EXPECT_EQ(dialog.ButtonIds(), row.buttons);
    // Once the UI thread runs, the dialogs run on it, not on the caller's.
    if (i >= kOnUiThread) {
      EXPECT_EQ(dialog.thread, progress_window.thread);
    } else {
      EXPECT_NE(dialog.thread, progress_window.thread);
    }
    expected_styles.push_back(row.style);
  }

  const std::vector<std::string> lines = OutputLines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "locale en rtl=0");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected_results);
  // English: warning icon and buttons, never right-to-left reading.
  EXPECT_EQ(MessageBoxStyles(result.err), expected_styles);

  // The download page after the corrupt-installer OK, the vendor's full
  // installer, then the address the web installer set (exactly, query
  // included); nothing after Cancel or for the other rows.
  std::vector<std::string> opened = recorder->WaitForAddresses(3, 30s);
  std::sort(opened.begin(), opened.end());
  std::vector<std::string> expected_opened = {kDownloadPage, kVendorFullInstaller, url};
  std::sort(expected_opened.begin(), expected_opened.end());
  EXPECT_EQ(opened, expected_opened);
}

// The progress window of a download: status texts, bar mode and position,
// the cancel question (No keeps going, Yes aborts and refuses a commit, a
// later close asks nothing), an error dialog on its thread, and the hide.
TEST_F(DialogsTest, ProgressWindowStatusCancelAndHide) {
  // clang-format off
  auto driver = StartDriver({
      "window",
      "await", "downloading", "progress", "500", "1000", "1", "0",
      "await", "no-length", "progress", "0", "0", "1", "0",
      "await", "countdown", "progress", "0", "0", "0", "10",
      "await", "countdown-1", "progress", "0", "0", "0", "1",
      "wait-cancel", "commit",
      "await", "asked-once", "error", "13",
      "hide", "wait-hidden"},
      Language("en_US.UTF-8"));
  const RobotOutput robot = RunDialogRobot(*prefix_, {
      "wait", "ZevrinoInstaller", "wait-text", "50", "Installing Zevrino...",
      "signal", "downloading",
      "wait-text", "50", "Downloading Zevrino...", "send", "51", "0x408", /* PBM_GETPOS */
      "describe",
      "signal", "no-length", "wait-style", "51", "8", "8", /* PBS_MARQUEE */
      "wait-text", "50", "Downloading Zevrino...", "describe",
      "signal", "countdown",
      "wait-text", "50", "Unable to download Zevrino... will try again in 10 seconds",
      "describe",
      "signal", "countdown-1",
      "wait-text", "50", "Unable to download Zevrino... will try again in 1 second",
      "close", "wait", "#32770", "press", "7",
      "wait", "ZevrinoInstaller", "close", "wait", "#32770", "press", "6",
      "wait", "ZevrinoInstaller", "wait-text", "50", "Aborting...",
      // A reply without a question on screen: nothing is asked twice.
      "close-sync", "none", "#32770", "signal", "asked-once",
      "wait", "#32770", "press", "2"});
  // clang-format on
  const ProcessResult result = driver.get();
  ASSERT_TRUE(robot.Succeeded()) << robot.Describe() << "\ndriver:\n" << Describe(result);
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  EXPECT_EQ(OutputLines(result.out),
            (std::vector<std::string>{"cancel requested", "commit 0", "error 13 retry=0",
                                      "hide returned", "hidden"}));

  ASSERT_EQ(robot.windows.size(), 9u);
  const RobotWindow& first = robot.windows[0];
  EXPECT_EQ(first.title, "Zevrino Installer");
  // Popup with caption, system menu and minimize box; left to right.
  EXPECT_EQ(first.style & 0xFFFF0000u, 0x94CA0000u);
  EXPECT_EQ(first.ex_style & 0x400000u, 0u);
  ASSERT_NE(first.Child(51), nullptr);
  EXPECT_EQ(first.Child(51)->class_name, "msctls_progress32");
  EXPECT_NE(first.Child(51)->style & 0x08u, 0u) << "installing: marquee";
  EXPECT_EQ(first.Child(50)->class_name, "Static");

  // Determinate at 50 % while the length is known; marquee again without it
  // and during the countdown.
  const std::vector<std::string> lines = Without(Without(robot.lines, "text "), "style ");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "result 51 0x408 50"), lines.end())
      << ::testing::PrintToString(lines);
  EXPECT_EQ(robot.windows[1].Child(51)->style & 0x08u, 0u);
  EXPECT_NE(robot.windows[2].Child(51)->style & 0x08u, 0u);
  EXPECT_NE(robot.windows[3].Child(51)->style & 0x08u, 0u);

  EXPECT_EQ(robot.windows[4].MessageText(), kCancelQuestion);
  EXPECT_EQ(robot.windows[4].ButtonIds(), (std::vector<int>{kIdYes, kIdNo}));
  EXPECT_EQ(robot.windows[6].MessageText(), kCancelQuestion);
  EXPECT_EQ(robot.windows[8].MessageText(), kNotCreated + "\n\n(Error code: 13)");
  EXPECT_EQ(robot.windows[8].thread, first.thread) << "not on the UI thread";
}

// Once an install has begun its commit, closing the window asks nothing, so
// the window never claims "Aborting..." for an install that will not stop.
TEST_F(DialogsTest, NoCancelQuestionOnceTheCommitHasBegun) {
  auto driver = StartDriver({"window", "commit", "signal", "committed", "await", "closed"});
  const RobotOutput robot =
      RunDialogRobot(*prefix_, {"wait", "ZevrinoInstaller", "await", "committed", "close-sync",
                                "none", "#32770", "text", "50", "signal", "closed"});
  ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
  const ProcessResult result = driver.get();
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  EXPECT_EQ(OutputLines(result.out), std::vector<std::string>{"commit 1"});
  EXPECT_EQ(robot.lines.back(), "text 50 Installing Zevrino...");
}

// A hide asked for while the UI thread is still making its window is not
// lost; without the system menu the window has only its caption.
TEST_F(DialogsTest, EarlyHideAndCaptionOnlyWindow) {
  const ProcessResult result =
      StartDriver({"window-caption-only", "hide", "style", "wait-hidden"}).get();
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  const std::vector<std::string> lines = OutputLines(result.out);
  ASSERT_EQ(lines.size(), 3u) << result.out;
  EXPECT_EQ(lines[0], "hide returned");
  // WS_POPUP | WS_CAPTION without WS_SYSMENU and WS_MINIMIZEBOX.
  const std::uint32_t style =
      static_cast<std::uint32_t>(std::stoul(lines[1].substr(6, 10), nullptr, 16));
  EXPECT_EQ(style & 0x80C00000u, 0x80C00000u) << lines[1];
  EXPECT_EQ(style & 0x000A0000u, 0u) << lines[1];
  EXPECT_EQ(lines[2], "hidden");
}

// In Arabic the error dialogs read right to left and the progress window is
// laid out right to left; the cancel question is not right-to-left.
TEST_F(DialogsTest, RightToLeftInArabic) {
  auto driver = StartDriver({"locale", "window", "style", "wait-cancel", "error", "13"},
                            WithMessageBoxTrace(Language("ar_SA.UTF-8")));
  const RobotOutput robot =
      RunDialogRobot(*prefix_, {"wait", "ZevrinoInstaller", "close", "wait", "#32770", "press", "6",
                                "wait", "#32770", "press", "2"});
  const ProcessResult result = driver.get();
  ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
  ASSERT_TRUE(result.ExitedWith(0)) << result.out;
  const std::vector<std::string> lines = OutputLines(result.out);
  ASSERT_EQ(lines.size(), 4u) << result.out;
  EXPECT_EQ(lines[0], "locale ar-SA rtl=1");
  const std::uint32_t ex_style =
      static_cast<std::uint32_t>(std::stoul(lines[1].substr(lines[1].rfind("0x")), nullptr, 16));
  EXPECT_NE(ex_style & 0x400000u, 0u) << lines[1];
  EXPECT_EQ(lines[3], "error 13 retry=0");
  // The question 0x134, the error dialog 0x35 with MB_RTLREADING.
  EXPECT_EQ(MessageBoxStyles(result.err), (std::vector<std::uint32_t>{0x134, 0x100035}));
  ASSERT_EQ(robot.windows.size(), 3u);
  EXPECT_EQ(robot.windows[2].MessageText().find("The installer"), std::string::npos)
      << "not translated: " << robot.windows[2].MessageText();
}

// The real installer without a payload, started as a normal user in a
// German session: one dialog in German, OK opens the download page, the run
// ends with the payload code and nothing is asked again. Silent: no dialog.
TEST_F(DialogsTest, InstallerPayloadErrorInGerman) {
  const auto recorder = RecordHttps();
  auto installer = StartAsUser(*prefix_, InstallerStubExe(), {}, Language("de_DE.UTF-8"));
  const RobotOutput robot = RunDialogRobot(*prefix_, {"wait", "#32770", "press", "1"});
  const ProcessResult result = installer.get();
  ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
  EXPECT_TRUE(result.ExitedWith(4)) << Describe(result);
  ASSERT_EQ(robot.windows.size(), 1u);
  EXPECT_EQ(robot.windows[0].MessageText(),
            "Das Installationsprogramm ist beschädigt. Bitte laden Sie es erneut von der Website "
            "herunter und versuchen Sie es noch einmal.\n\n(Fehlercode: 4)");
  EXPECT_EQ(robot.windows[0].ButtonIds(), std::vector<int>{kIdOk});
  EXPECT_EQ(recorder->WaitForAddresses(1, 30s), std::vector<std::string>{kDownloadPage});

  const ProcessResult silent = prefix_->RunAsUser(RunLimitedExe(), InstallerStubExe(), {"--silent"},
                                                  Language("de_DE.UTF-8"), 60s);
  EXPECT_TRUE(silent.ExitedWith(4)) << Describe(silent);
  EXPECT_EQ(recorder->Addresses().size(), 1u);
}

// Pictures of the progress window and an error dialog in four languages,
// saved under <host build>/e2e/screenshots for a person to look at (text
// not cut off, bar drawn, Arabic mirrored). Nothing is compared; without
// ImageMagick's import there are no pictures and the test only runs the
// windows.
TEST_F(DialogsTest, ScreenshotsInFourLanguages) {
  const fs::path folder = HostBuildDir() / "e2e" / "screenshots";
  fs::create_directories(folder);
  const bool can_shoot = RunProcess({"sh", "-c", "command -v import"}, {}, 10s).ExitedWith(0);
  const auto shoot = [&](const std::string& name) {
    if (!can_shoot) {
      return;
    }
    const fs::path file = folder / (name + ".png");
    const ProcessResult shot =
        RunProcess({"import", "-window", "root", "-trim", "+repage", file.string()},
                   prefix_->BaseEnvironment(), 60s);
    EXPECT_TRUE(shot.ExitedWith(0)) << Describe(shot);
  };
  for (const std::string locale : {"en_US", "de_DE", "ar_SA", "ja_JP"}) {
    SCOPED_TRACE(locale);
    auto driver = StartDriver(
        {"progress", "400", "1000", "1", "0", "window", "await", "shot-error", "error", "13"},
        Language(locale + ".UTF-8"));
    // Determinate bar at 40 %; one round trip so that the window has painted.
    RobotOutput robot = RunDialogRobot(
        *prefix_, {"wait", "ZevrinoInstaller", "wait-style", "51", "8", "0", "send", "0", "0"});
    ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
    shoot(locale + "-progress");
    robot = RunDialogRobot(*prefix_, {"signal", "shot-error", "wait", "#32770", "send", "0", "0"});
    ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
    shoot(locale + "-error");
    robot = RunDialogRobot(*prefix_, {"wait", "#32770", "press", "2"});
    ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
    const ProcessResult result = driver.get();
    EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
  }
}

}  // namespace
}  // namespace zevrino::e2e
