// The normal install of the real installer_stub.exe under Wine, started as a
// normal user: files, uninstall entry, shortcuts and the started
// application; the questions answered by the dialog robot; refusals,
// retries and damaged payloads. All runs share one prefix of their own, so
// every test starts by removing what an earlier one installed.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "payload/archive_writer.h"
#include "payload/payload_container.h"
#include "tests/e2e/harness/dialog_robot.h"
#include "tests/e2e/harness/holder.h"
#include "tests/e2e/harness/packing.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/small_volume.h"
#include "tests/e2e/harness/start_log.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"
#include "tools/pack_installer/body_encoder.h"
#include "tools/pack_installer/packer.h"
#include "tools/pack_installer/payload_writer.h"

namespace zevrino::e2e {
namespace {

namespace packer = desktop::packer;
using std::chrono::seconds;

const char kUninstallKey[] =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zevrino";
const char kRunKey[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kMessageBoxClass[] = "#32770";
// Wine's menu builder would mirror every shortcut into the Linux user's menus.
const Environment kNoMenuBuilder = {{"WINEDLLOVERRIDES", "winemenubuilder.exe=d"}};

const std::chrono::milliseconds kWaitLimit = std::chrono::seconds(60);

// Points the prefix's application-data folder at `folder` (a Windows path).
bool MoveAppData(const WinePrefix& prefix, const std::string& folder) {
  const char* key =
      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  return prefix
      .RunWine({"reg", "add", key, "/v", "AppData", "/t", "REG_EXPAND_SZ", "/d", folder, "/f"})
      .ExitedWith(0);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Today as the installer's InstallDate writes it (Wine's local time is the
// Linux one).
std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

class NormalInstallTest : public PrefixTest {
 protected:
  void SetUp() override {
    for (const fs::path& program : {RunLimitedExe(), InstallerStubExe(), RecorderExe(),
                                    WindowsTestProgram("dialog_robot.exe"),
                                    WindowsTestProgram("hold_file.exe"), ZevrinoStandinExe()}) {
      ZV_REQUIRE_WINDOWS_PROGRAM(program);
    }
    ASSERT_TRUE(OpenSharedPrefix({"normal-install"})) << PrefixError();
    ResetMachine();
  }
  void TearDown() override {
    if (prefix_ != nullptr) {
      ResetMachine();
    }
  }

  // No application running, nothing installed, no entry, no shortcuts.
  void ResetMachine() {
    prefix_->RunWine({"taskkill", "/F", "/IM", "Zevrino.exe"});
    prefix_->RunWine({"taskkill", "/F", "/IM", "held.exe"});
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(prefix_->AppDataRoaming(), ec)) {
      if (entry.path().filename().string().rfind("Zevrino", 0) == 0) {
        fs::remove_all(entry.path(), ec);
      }
    }
    fs::remove(DesktopLink(), ec);
    fs::remove(StartMenuLink(), ec);
    prefix_->RunWine({"reg", "delete", kUninstallKey, "/f"});
  }

  fs::path InstallDir(const std::string& suffix = "") const {
    return prefix_->AppDataRoaming() / ("Zevrino" + suffix);
  }
  fs::path DesktopLink() const {
    return prefix_->DriveC() / "users" / prefix_->UserName() / "Desktop" / "Zevrino.lnk";
  }
  fs::path StartMenuLink() const {
    return prefix_->AppDataRoaming() / "Microsoft/Windows/Start Menu/Programs/Zevrino.lnk";
  }
  fs::path PathOf(const std::string& name) const { return scratch_.path() / name; }

  // A small application around `zevrino_exe`: a few real files, one of them
  // large enough to be compressed in several blocks.
  static Tree SampleApp(const Bytes& zevrino_exe, unsigned seed = 1) {
    return {{"Zevrino.exe", zevrino_exe},
            {"README.txt", TextBytes("Zevrino sample " + std::to_string(seed) + "\r\n")},
            {"locales/de.pak", Content(3000, seed + 1)},
            {"locales/fr.pak", Content(2000, seed + 2)},
            {"resources/app.bin", Content(300000, seed + 3)}};
  }

  fs::path Pack(const std::string& name, const Tree& tree) {
    std::string error;
    EXPECT_TRUE(PackTree(tree, PathOf(name), &error)) << error;
    return PathOf(name);
  }

  ProcessResult Install(const fs::path& installer, const std::vector<std::string>& args) {
    return prefix_->RunAsUser(RunLimitedExe(), installer, args, kNoMenuBuilder);
  }
  std::future<ProcessResult> StartInstall(const fs::path& installer,
                                          const std::vector<std::string>& args) {
    return StartAsUser(*prefix_, installer, args, kNoMenuBuilder);
  }

  // Waits for the next message box, checks that its text holds `expected`
  // and presses `button`.
  void Answer(const std::string& expected, const std::string& button) {
    const RobotOutput robot = RunDialogRobot(*prefix_, {"wait", kMessageBoxClass, "press", button},
                                             std::chrono::seconds(60));
    ASSERT_TRUE(robot.Succeeded() && !robot.windows.empty()) << robot.Describe();
    EXPECT_TRUE(Contains(robot.windows[0].MessageText(), expected))
        << robot.windows[0].MessageText();
  }

  std::string Uninstall(const std::string& value) const {
    std::string type, data;
    return prefix_->QueryValue(kUninstallKey, value, &type, &data) ? type + " " + data : "absent";
  }

  // The start line the stand-in or recorder wrote as Zevrino.exe of `dir`.
  static fs::path StartLogOf(const fs::path& dir) { return dir / "Zevrino.exe.log"; }

  ScratchDir scratch_{"normal-install"};
};

TEST_F(NormalInstallTest, SilentInstallWithMuThenSkippedLaunchThenElevatedRefusal) {
  const Tree app = SampleApp(ReadBytes(RecorderExe()));
  const fs::path installer = Pack("setup.exe", app);
  const fs::path dir = InstallDir("-beta");
  // What older versions and a half-done update left behind.
  ASSERT_TRUE(prefix_
                  ->RunWine({"reg", "add", kRunKey, "/v", "Zevrino Web Helper", "/d",
                             "C:\\old\\helper.exe", "/f"})
                  .ExitedWith(0));
  WriteTree(dir, {{"Zevrino_new.exe", TextBytes("update")},
                  {"Zevrino_new.exe.sig", TextBytes("sig")},
                  {"~TMP draft ~", TextBytes("the user's, not a leftover of ours")}});

  // Ordinary tokens and ones that would break out of naive quotes.
  const std::vector<std::string> forwarded = {
      "x", R"(C:\dir\)", "x /evil y", R"(a""/update""C:\x.exe)", R"(say "hi")", ""};
  std::vector<std::string> args = {"--silent", "--mu", "beta"};
  args.insert(args.end(), forwarded.begin(), forwarded.end());
  const ProcessResult run = Install(installer, args);
  ASSERT_TRUE(run.ExitedWith(0)) << Describe(run);
  EXPECT_TRUE(Contains(run.out, "Zevrino Installer - Running normal installer.")) << run.out;
  EXPECT_TRUE(Contains(run.out, "Zevrino Installer - Normal installer success")) << run.out;

  // Started in its directory with the forwarded arguments.
  const std::vector<StartRecord> starts = WaitForStarts(StartLogOf(dir), 1, kWaitLimit);
  ASSERT_EQ(starts.size(), 1u) << "Zevrino.exe was not started";
  const std::string windows_dir =
      "C:\\users\\" + prefix_->UserName() + "\\AppData\\Roaming\\Zevrino-beta";
  EXPECT_EQ(starts[0].command_line,
            R"(Zevrino.exe "--mu" "beta" "x" "C:\dir\\" "x /evil y" "a\"\"/update\"\"C:\x.exe" )"
            R"("say \"hi\"" "")");
  std::vector<std::string> arrived = {"--mu", "beta"};
  arrived.insert(arrived.end(), forwarded.begin(), forwarded.end());
  EXPECT_EQ(ReadStartArguments(dir / "Zevrino.exe"),
            std::vector<std::vector<std::string>>{arrived});
  EXPECT_EQ(starts[0].directory, windows_dir);
  // Exactly the packed files: the leftover update files are gone.
  Tree expected = app;
  expected["Zevrino.exe.log"] = ReadBytes(StartLogOf(dir));
  expected["Zevrino.exe.argv"] = ReadBytes(dir / "Zevrino.exe.argv");
  expected["~TMP draft ~"] = TextBytes("the user's, not a leftover of ours");
  EXPECT_EQ(ReadTree(dir), expected);

  // The entry's values are uninstall_entry_test's; here what comes from the
  // run: the folder, the version resource and today's date.
  EXPECT_EQ(Uninstall("InstallLocation"), "REG_SZ " + windows_dir);
  EXPECT_EQ(Uninstall("DisplayVersion"), std::string("REG_SZ ") + ZV_PRODUCT_VERSION);
  EXPECT_EQ(Uninstall("InstallDate"), "REG_SZ " + Today());
  std::string type, data;
  EXPECT_FALSE(prefix_->QueryValue(kRunKey, "Zevrino Web Helper", &type, &data));
  EXPECT_TRUE(fs::exists(DesktopLink()));
  EXPECT_TRUE(fs::exists(StartMenuLink()));

  // --skip-app-launch: installed with shortcuts, nothing started.
  fs::remove(DesktopLink());
  fs::remove(StartMenuLink());
  const ProcessResult skipped = Install(installer, {"--silent", "--skip-app-launch"});
  ASSERT_TRUE(skipped.ExitedWith(0)) << Describe(skipped);
  EXPECT_EQ(ReadTree(InstallDir()), app);
  EXPECT_TRUE(fs::exists(DesktopLink()));
  EXPECT_TRUE(fs::exists(StartMenuLink()));
  EXPECT_EQ(Uninstall("InstallLocation"),
            "REG_SZ C:\\users\\" + prefix_->UserName() + "\\AppData\\Roaming\\Zevrino");

  // Plain wine runs with the administrator's full token: refused, and the
  // refusal is said unless silent.
  fs::remove_all(InstallDir());
  const ProcessResult elevated = prefix_->RunWine({installer.string(), "--silent"});
  EXPECT_TRUE(elevated.ExitedWith(23)) << Describe(elevated);
  EXPECT_TRUE(Contains(elevated.out, "Invalid user account for install.")) << elevated.out;
  std::future<ProcessResult> asked =
      std::async(std::launch::async, [&] { return prefix_->RunWine({installer.string()}); });
  Answer("Please install Zevrino using a normal account instead of an Administrator account.", "1");
  const ProcessResult refused = asked.get();
  EXPECT_TRUE(refused.ExitedWith(23)) << Describe(refused);
  EXPECT_FALSE(fs::exists(InstallDir()));
}

// Values and links aimed at other folders: a mu that leaves the folder's
// name, a "locales" that is a link to the user's files, an application-data
// folder that cannot be found. Each ends the run with its code and every
// folder stays byte for byte as it was.
TEST_F(NormalInstallTest, HostileValuesAndLinksLeaveEveryFolderAsItWas) {
  const Tree app = SampleApp(ReadBytes(RecorderExe()));
  const fs::path installer = Pack("setup.exe", app);
  const fs::path local = prefix_->AppDataRoaming().parent_path() / "Local";
  const fs::path other_app = local / "Programs" / "OtherApp";
  const Tree other_files = {{"locales/x.pak", TextBytes("other catalog")},
                            {"~TMP_1_2_~", TextBytes("other's temporary file")},
                            {"README.txt", TextBytes("other readme")}};
  WriteTree(other_app, other_files);
  for (const std::string mu : {R"(x\..\..\Local\Programs\OtherApp)", R"(a"/evil"b\..\..)"}) {
    SCOPED_TRACE(mu);
    const ProcessResult run = Install(installer, {"--silent", "--mu", mu});
    EXPECT_TRUE(run.ExitedWith(34)) << Describe(run);
    EXPECT_EQ(ReadTree(other_app), other_files);
    EXPECT_EQ(Uninstall("InstallLocation"), "absent");
  }
  for (const auto& entry : fs::directory_iterator(prefix_->AppDataRoaming())) {
    EXPECT_NE(entry.path().filename().string().rfind("Zevrino", 0), 0u) << entry.path();
  }

  // A link at a folder the install walks, at a file it replaces or at a
  // leftover it deletes is removed itself where the system can; Wine cannot
  // tell it from its target, so the run stops with 13 before anything is
  // written.
  ASSERT_TRUE(Install(installer, {"--silent", "--skip-app-launch"}).ExitedWith(0));
  for (const char* name : {"locales", "README.txt", "Zevrino_new.exe"}) {
    SCOPED_TRACE(name);
    const Tree installed = ReadTree(InstallDir());
    fs::remove_all(InstallDir() / name);
    if (std::string(name) == "locales") {
      fs::create_directory_symlink(other_app / name, InstallDir() / name);
    } else {
      fs::create_symlink(other_app / "README.txt", InstallDir() / name);
    }
    const ProcessResult linked = Install(installer, {"--silent", "--skip-app-launch"});
    EXPECT_TRUE(linked.ExitedWith(13)) << Describe(linked);
    EXPECT_EQ(ReadTree(other_app), other_files);
    fs::remove(InstallDir() / name);
    WriteTree(InstallDir(), installed);
  }

  ASSERT_TRUE(MoveAppData(*prefix_, "Q:\\nowhere"));
  const ProcessResult no_folder = Install(installer, {"--silent"});
  ASSERT_TRUE(MoveAppData(*prefix_, "%USERPROFILE%\\AppData\\Roaming"));
  EXPECT_TRUE(no_folder.ExitedWith(35)) << Describe(no_folder);
  EXPECT_FALSE(fs::exists(prefix_->DriveC() / "Program"));
  fs::remove_all(other_app);
}

// A payload whose archive breaks after its first entries, over an existing
// installation: nothing of it stays, the old files and the entry are as they
// were, and the exit code names the malformed entry.
TEST_F(NormalInstallTest, DamagedArchiveKeepsTheOldInstallation) {
  const Tree old_app = SampleApp(ReadBytes(RecorderExe()), 5);
  ASSERT_TRUE(Install(Pack("old.exe", old_app), {"--silent", "--skip-app-launch"}).ExitedWith(0));
  ASSERT_TRUE(
      prefix_->RunWine({"reg", "add", kUninstallKey, "/v", "InstallDate", "/d", "19990101", "/f"})
          .ExitedWith(0));

  // Version 513, a digest the reader skips, two good entries over the old
  // ones and a third that is cut off.
  Bytes archive = {0x81, 0x04};
  archive.resize(archive.size() + 20, 0xAB);
  const Bytes readme = TextBytes("new readme");
  const Bytes big = Content(100000, 9);
  desktop::installer::AppendArchiveEntry("README.txt", readme.data(), readme.size(), &archive);
  desktop::installer::AppendArchiveEntry("Zevrino.exe", big.data(), big.size(), &archive);
  desktop::installer::AppendArchiveEntry("resources/app.bin", big.data(), big.size(), &archive);
  archive.resize(archive.size() - 1000);
  packer::BodyOptions options;
  options.preset = 1;
  Bytes body;
  std::string error;
  ASSERT_TRUE(packer::EncodeBody(archive.data(), archive.size(), options, &body, &error)) << error;
  packer::PayloadFrame frame;
  ASSERT_TRUE(packer::FramePayload(body.data(), body.size(), {}, &frame, &error)) << error;
  const fs::path damaged = PathOf("damaged.exe");
  ASSERT_TRUE(packer::WriteInstaller(damaged.string(), ReadBytes(InstallerStubExe()), frame,
                                     body.data(), body.size(), &error))
      << error;

  const ProcessResult run = Install(damaged, {"--silent"});
  EXPECT_TRUE(run.ExitedWith(8)) << Describe(run);
  EXPECT_TRUE(Contains(run.out, "Zevrino Installer - Normal installer error: 8")) << run.out;
  EXPECT_EQ(ReadTree(InstallDir()), old_app);
  EXPECT_EQ(Uninstall("InstallDate"), "REG_SZ 19990101");

  // Shown once and not retried when the user cancels.
  std::future<ProcessResult> shown = StartInstall(damaged, {});
  Answer("(Error code: 8)", "2");
  const ProcessResult cancelled = shown.get();
  EXPECT_TRUE(cancelled.ExitedWith(8)) << Describe(cancelled);
  EXPECT_EQ(ReadTree(InstallDir()), old_app);
}

// An application that cannot be started: 17 with the OK-only dialog, and
// neither shortcuts nor removal of the leftover update files; the replaced
// old files go all the same.
TEST_F(NormalInstallTest, ApplicationThatCannotStart) {
  const fs::path installer = Pack("broken.exe", SampleApp(TextBytes("not a program")));
  const ProcessResult silent = Install(installer, {"--silent"});
  EXPECT_TRUE(silent.ExitedWith(17)) << Describe(silent);
  EXPECT_TRUE(Contains(silent.out, "Normal installer error starting sub process: C:\\users\\"))
      << silent.out;

  WriteBytes(InstallDir() / "Zevrino_new.exe", TextBytes("update"));
  std::future<ProcessResult> run = StartInstall(installer, {});
  const RobotOutput robot = RunDialogRobot(*prefix_, {"wait", kMessageBoxClass, "press", "1"});
  ASSERT_TRUE(robot.Succeeded() && !robot.windows.empty()) << robot.Describe();
  EXPECT_EQ(robot.windows[0].MessageText(), "Zevrino could not be started.\n\n(Error code: 17)");
  EXPECT_EQ(robot.windows[0].ButtonIds(), std::vector<int>{kIdOk});
  const ProcessResult result = run.get();
  EXPECT_TRUE(result.ExitedWith(17)) << Describe(result);
  EXPECT_TRUE(Contains(result.out, "Zevrino Installer - Normal installer error: 17")) << result.out;
  EXPECT_FALSE(fs::exists(DesktopLink()));
  EXPECT_FALSE(fs::exists(StartMenuLink()));
  EXPECT_TRUE(fs::exists(InstallDir() / "Zevrino_new.exe"));
  // The files this install replaced are deleted all the same: it committed.
  for (const auto& entry : ReadTree(InstallDir())) {
    EXPECT_NE(entry.first.rfind("~TMP", 0), 0u) << entry.first << " left behind";
  }
}

// The same or a newer version installed: the replace question (Cancel: 25,
// OK: installed); then the running application: silent 26, interactive the
// close question, closed, installed. An older version asks nothing.
TEST_F(NormalInstallTest, ReplaceQuestionAndRunningApplication) {
  const Tree app = SampleApp(ReadBytes(ZevrinoStandinExe()));
  const fs::path installer = Pack("setup.exe", app);
  for (StandinVersion installed : {StandinVersion::kSame, StandinVersion::kNewer}) {
    WriteBytes(InstallDir() / "Zevrino.exe", ReadBytes(ZevrinoStandinExe(installed)));
    std::future<ProcessResult> declined = StartInstall(installer, {});
    Answer("It looks like you have already installed Zevrino. Do you want to replace it?", "2");
    EXPECT_TRUE(declined.get().ExitedWith(25));
  }
  EXPECT_EQ(ReadTree(InstallDir()).size(), 1u) << "a declined run writes nothing";

  // A run the web installer started never asks to replace (a question here
  // would wait until the time-out) and is never silent.
  const ProcessResult web_run =
      Install(installer, {"--webinstall", "--silent", "--skip-app-launch"});
  ASSERT_TRUE(web_run.ExitedWith(0)) << Describe(web_run);
  EXPECT_TRUE(Contains(web_run.out, "Zevrino Installer - Running web installer.")) << web_run.out;
  EXPECT_FALSE(Contains(web_run.out, "Overwriting previously installed version.")) << web_run.out;
  EXPECT_EQ(ReadTree(InstallDir()), app);

  std::future<ProcessResult> accepted = StartInstall(installer, {});
  Answer("Do you want to replace it?", "1");
  const ProcessResult replaced = accepted.get();
  ASSERT_TRUE(replaced.ExitedWith(0)) << Describe(replaced);
  EXPECT_TRUE(Contains(replaced.out, "Overwriting previously installed version.")) << replaced.out;
  EXPECT_EQ(ReadBytes(InstallDir() / "Zevrino.exe"), app.at("Zevrino.exe"));

  // The installer started the stand-in, which now runs.
  ASSERT_EQ(WaitForStarts(StartLogOf(InstallDir()), 1, kWaitLimit).size(), 1u);
  const ProcessResult silent = Install(installer, {"--silent"});
  EXPECT_TRUE(silent.ExitedWith(26)) << Describe(silent);
  EXPECT_TRUE(Contains(silent.out, "Zevrino Installer - Zevrino is running.")) << silent.out;
  EXPECT_TRUE(Contains(silent.out, "Overwriting previously installed version.")) << silent.out;

  std::future<ProcessResult> cancelled = StartInstall(installer, {});
  Answer("Do you want to replace it?", "1");
  Answer("Do you want to close Zevrino and proceed with the installation?", "2");
  const ProcessResult kept = cancelled.get();
  EXPECT_TRUE(kept.ExitedWith(26)) << Describe(kept);

  std::future<ProcessResult> closing = StartInstall(installer, {});
  Answer("Do you want to replace it?", "1");
  Answer("Do you want to close Zevrino and proceed with the installation?", "1");
  const ProcessResult closed = closing.get();
  ASSERT_TRUE(closed.ExitedWith(0)) << Describe(closed);
  // Closed by its first message, then started again by the install.
  EXPECT_TRUE(Contains(ReadText(InstallDir() / "Zevrino.exe.messages"),
                       "main WM_QUERYENDSESSION\r\nexit\r\n"));
  EXPECT_EQ(WaitForStarts(StartLogOf(InstallDir()), 2, kWaitLimit).size(), 2u);

  // An older installed version is replaced without a question.
  ResetMachine();
  WriteBytes(InstallDir() / "Zevrino.exe", ReadBytes(ZevrinoStandinExe(StandinVersion::kOlder)));
  const ProcessResult older = Install(installer, {"--silent", "--skip-app-launch"});
  EXPECT_TRUE(older.ExitedWith(0)) << Describe(older);
  EXPECT_FALSE(Contains(older.out, "Overwriting previously installed version.")) << older.out;
  EXPECT_EQ(ReadTree(InstallDir()), app);
}

// Another installer or an update holds its mutex: 20 or 21, said in a
// message unless silent; Windows 8.1 refuses every run with 22.
TEST_F(NormalInstallTest, RefusalsOfOtherInstallersAndOldWindows) {
  const fs::path installer = Pack("setup.exe", SampleApp(ReadBytes(RecorderExe())));
  const fs::path holder = PathOf("held.exe");
  fs::copy_file(ZevrinoStandinExe(), holder);
  const struct {
    const char* mutex;
    int code;
    const char* line;
  } holders[] = {{"Zevrino Update Started Interactive Mutex", 20, "/f:945"},
                 {"Zevrino Update Started Mutex", 21, "/f:994"}};
  for (const auto& held : holders) {
    SCOPED_TRACE(held.mutex);
    WriteBytes(PathOf("held.exe.behaviour"),
               TextBytes(std::string("objects=none\r\nextra-mutex=") + held.mutex + "\r\n"));
    fs::remove(PathOf("held.exe.log"));
    std::future<ProcessResult> holding =
        std::async(std::launch::async, [&] { return prefix_->RunWine({holder.string()}); });
    ASSERT_EQ(WaitForStarts(PathOf("held.exe.log"), 1, kWaitLimit).size(), 1u);

    const ProcessResult silent = Install(installer, {"--silent"});
    EXPECT_TRUE(silent.ExitedWith(held.code)) << Describe(silent);
    EXPECT_TRUE(Contains(silent.out, "Zevrino installation already in progress.")) << silent.out;
    std::future<ProcessResult> asked = StartInstall(installer, {});
    Answer("The Zevrino installation is already in progress.", "1");
    EXPECT_TRUE(asked.get().ExitedWith(held.code));
    EXPECT_FALSE(fs::exists(InstallDir()));

    prefix_->RunWine({"taskkill", "/F", "/IM", "held.exe"});
    holding.get();
  }

  std::string error;
  ASSERT_TRUE(prefix_->SetWindowsVersion("win81", &error)) << error;
  const ProcessResult silent = Install(installer, {"--silent"});
  EXPECT_TRUE(silent.ExitedWith(22)) << Describe(silent);
  EXPECT_TRUE(Contains(silent.out, "Unsupported platform. Zevrino requires Windows 10 or later."))
      << silent.out;
  // The payload is read while the checks before it run; a missing one still
  // counts only after them.
  const ProcessResult bare = Install(InstallerStubExe(), {"--silent"});
  EXPECT_TRUE(bare.ExitedWith(22)) << Describe(bare);
  EXPECT_FALSE(Contains(bare.out, "Error reading installer payload")) << bare.out;
  std::future<ProcessResult> asked = StartInstall(installer, {"--extract", "C:\\never"});
  Answer("Zevrino requires Windows 10 or later. The installer is unable to continue.", "1");
  EXPECT_TRUE(asked.get().ExitedWith(22));
  ASSERT_TRUE(prefix_->SetWindowsVersion("win10", &error)) << error;
  EXPECT_FALSE(fs::exists(InstallDir()));
  EXPECT_FALSE(fs::exists(prefix_->DriveC() / "never"));
}

// Closing the progress window of a large install asks whether to cancel.
// Yes, answered before the commit: exit 19 without a dialog, the previous
// installation byte for byte as it was with its entry and shortcuts, and
// nothing started. No: the install goes on to its end and starts the
// application (the previous one's Zevrino.exe, which the payload of DLLs
// leaves in place).
TEST_F(NormalInstallTest, CancelInTheProgressWindow) {
  const Tree old_app = SampleApp(ReadBytes(ZevrinoStandinExe(StandinVersion::kOlder)), 6);
  ASSERT_TRUE(Install(Pack("old.exe", old_app), {"--silent", "--skip-app-launch"}).ExitedWith(0));
  const fs::path large = PathOf("large.exe");
  std::string error;
  ASSERT_TRUE(PackLargeInstaller(PathOf("app-large"), large, &error)) << error;
  const std::string entry = prefix_->RunWine({"reg", "query", kUninstallKey}).out;
  const Bytes desktop_link = ReadBytes(DesktopLink());
  const Bytes start_menu_link = ReadBytes(StartMenuLink());

  for (const int answer : {kIdYes, kIdNo}) {
    SCOPED_TRACE(answer == kIdYes ? "Yes" : "No");
    // The robot is started first: a Wine start takes far less than the
    // seconds this payload needs before its commit.
    std::future<RobotOutput> robot = std::async(std::launch::async, [&] {
      return RunDialogRobot(*prefix_,
                            {"wait", "ZevrinoInstaller", "close", "wait", kMessageBoxClass, "press",
                             std::to_string(answer)},
                            std::chrono::seconds(60));
    });
    const ProcessResult run = StartInstall(large, {}).get();
    const RobotOutput answered = robot.get();
    ASSERT_TRUE(answered.Succeeded()) << answered.Describe();
    ASSERT_EQ(answered.windows.size(), 2u) << "the progress window and the question";
    if (answer == kIdYes) {
      EXPECT_TRUE(run.ExitedWith(19)) << Describe(run);
      const Tree after = ReadTree(InstallDir());
      EXPECT_TRUE(after == old_app) << ::testing::PrintToString(Names(after));
      EXPECT_EQ(prefix_->RunWine({"reg", "query", kUninstallKey}).out, entry);
      EXPECT_EQ(ReadBytes(DesktopLink()), desktop_link);
      EXPECT_EQ(ReadBytes(StartMenuLink()), start_menu_link);
    } else {
      EXPECT_TRUE(run.ExitedWith(0)) << Describe(run);
      EXPECT_TRUE(fs::exists(InstallDir() / "comctl32.dll"));
      EXPECT_EQ(WaitForStarts(StartLogOf(InstallDir()), 1, kWaitLimit).size(), 1u);
    }
  }
}

// The installation on a small volume: too little space ends the run with 12
// before anything is written, and Retry, once there is room, installs; a
// volume that another program fills while the files are staged rolls back.
TEST_F(NormalInstallTest, TooLittleSpaceAndAVolumeThatFillsUp) {
  std::string error;
  const std::unique_ptr<SmallVolume> volume = SmallVolume::Mount(*prefix_, 'v', 48 << 20, &error);
  if (volume == nullptr) {
    GTEST_SKIP() << error;
  }
  fs::create_directories(volume->path() / "AppData");
  ASSERT_TRUE(MoveAppData(*prefix_, "V:\\AppData"));
  const std::shared_ptr<void> moved_back(
      nullptr, [&](void*) { MoveAppData(*prefix_, "%USERPROFILE%\\AppData\\Roaming"); });
  const fs::path dir = volume->path() / "AppData" / "Zevrino";
  const Tree old_app = SampleApp(ReadBytes(RecorderExe()), 7);
  const Tree new_app = SampleApp(ReadBytes(RecorderExe()), 8);
  ASSERT_TRUE(Install(Pack("old.exe", old_app), {"--silent", "--skip-app-launch"}).ExitedWith(0));
  volume->LeaveFree(8 << 20);  // the files fit, the margin does not
  std::future<ProcessResult> run = StartInstall(Pack("new.exe", new_app), {"--skip-app-launch"});
  const RobotOutput shown = RunDialogRobot(*prefix_, {"wait", kMessageBoxClass});
  ASSERT_TRUE(shown.Succeeded() && !shown.windows.empty()) << shown.Describe();
  EXPECT_TRUE(Contains(shown.windows[0].MessageText(), "not enough free memory and disk space"));
  EXPECT_EQ(shown.windows[0].ButtonIds(), (std::vector<int>{kIdRetry, kIdCancel}));
  EXPECT_EQ(ReadTree(dir), old_app);
  volume->LeaveFree(UINT64_MAX);
  EXPECT_TRUE(RunDialogRobot(*prefix_, {"wait", kMessageBoxClass, "press", "4"}).Succeeded());
  EXPECT_TRUE(run.get().ExitedWith(0));
  EXPECT_EQ(ReadTree(dir), new_app);

  // Another program takes what is left while the second file is staged.
  if (!volume->BeforeOpening(
          "_2_~", [&] { volume->LeaveFree(0); }, &error)) {
    GTEST_SKIP() << error;
  }
  const ProcessResult full = Install(Pack("third.exe", old_app), {"--silent"});
  EXPECT_TRUE(full.ExitedWith(12) && !Contains(full.out, "Not enough free disk space"))
      << "the check passed, a write failed: " << Describe(full);
  EXPECT_EQ(ReadTree(dir), new_app);
}

// A file held open by another program: the in-use dialog; Retry once the
// program let go installs everything. Then the installer's own file goes
// away (cut short from Linux, as a pulled drive takes it) while the dialog
// waits: the Retry decodes the payload again, on the decoding thread, and
// ends with 3 and no crash, every staged file gone and the files as they were.
TEST_F(NormalInstallTest, LockedFileThenRetryThenTheInstallerFileGoesAway) {
  const Tree old_app = SampleApp(ReadBytes(RecorderExe()), 3);
  ASSERT_TRUE(Install(Pack("old.exe", old_app), {"--silent", "--skip-app-launch"}).ExitedWith(0));
  const Tree new_app = SampleApp(ReadBytes(RecorderExe()), 4);
  const fs::path installer = Pack("new.exe", new_app);

  const std::string held = ToWindowsPath(InstallDir() / "resources/app.bin");  // by another program
  auto holding = std::make_unique<Holder>(*prefix_, scratch_.path(), "hold_file.exe", held);
  ASSERT_TRUE(holding->holding());

  std::future<ProcessResult> run = StartInstall(installer, {"--skip-app-launch"});
  const RobotOutput shown = RunDialogRobot(*prefix_, {"wait", kMessageBoxClass});
  ASSERT_TRUE(shown.Succeeded() && !shown.windows.empty()) << shown.Describe();
  EXPECT_TRUE(
      Contains(shown.windows[0].MessageText(), "files to be written are in use by another process"))
      << shown.windows[0].MessageText();
  EXPECT_EQ(shown.windows[0].ButtonIds(), (std::vector<int>{kIdRetry, kIdCancel}));
  EXPECT_EQ(ReadTree(InstallDir()), old_app) << "the failed attempt is rolled back";
  holding->Release();
  const RobotOutput retried = RunDialogRobot(*prefix_, {"wait", kMessageBoxClass, "press", "4"});
  EXPECT_TRUE(retried.Succeeded()) << retried.Describe();
  const ProcessResult result = run.get();
  EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
  EXPECT_EQ(ReadTree(InstallDir()), new_app);

  Tree large_app = old_app;
  large_app["resources/large.bin"] = Content(3 << 20, 6);  // decoded on its own thread
  const fs::path vanishing = Pack("vanishing.exe", large_app);
  holding = std::make_unique<Holder>(*prefix_, scratch_.path(), "hold_file.exe", held);
  ASSERT_TRUE(holding->holding());
  run = StartInstall(vanishing, {"--skip-app-launch"});
  ASSERT_TRUE(RunDialogRobot(*prefix_, {"wait", kMessageBoxClass}).Succeeded());
  holding->Release();
  // At a page's start: the rest of a page cut in its middle reads as zeros.
  const std::uintmax_t stub = fs::file_size(InstallerStubExe());
  fs::resize_file(vanishing, (stub + (fs::file_size(vanishing) - stub) / 2) / 4096 * 4096);
  ASSERT_TRUE(RunDialogRobot(*prefix_, {"wait", kMessageBoxClass, "press", "4"}).Succeeded());
  Answer("(Error code: 3)", "2");
  const ProcessResult cut = run.get();
  EXPECT_TRUE(cut.ExitedWith(3) && Contains(cut.out, "The installer's file could not be read"))
      << Describe(cut);
  EXPECT_EQ(ReadTree(InstallDir()), new_app);
}

}  // namespace
}  // namespace zevrino::e2e
