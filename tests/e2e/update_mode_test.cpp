// Update mode of the real installer under Wine: an older application is
// installed by a real normal install and running (the Zevrino.exe stand-in),
// then a newer installer is started with `--update` as the application
// would start it. The stand-in notes every start and every close message it
// receives; the dialog robot reads the progress window and answers the error
// dialogs; hold_file.exe and hold_mutex.exe play the other processes that
// hold a file or a mutex.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "tests/e2e/harness/dialog_robot.h"
#include "tests/e2e/harness/holder.h"
#include "tests/e2e/harness/packing.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/standin_files.h"
#include "tests/e2e/harness/start_log.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

using namespace std::chrono_literals;

constexpr char kUninstallKey[] =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zevrino";
// Window styles as the robot reports them.
constexpr std::uint32_t kSystemMenuStyle = 0x00080000;
constexpr std::uint32_t kMinimizeBoxStyle = 0x00020000;
constexpr std::uint32_t kCaptionStyle = 0x00C00000;
constexpr std::uint32_t kMarqueeStyle = 0x08;

constexpr char kRunKey[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The application's own files, without what the stand-in writes beside
// itself while it runs (its start log, its message log, its behaviour).
Tree ApplicationFiles(const fs::path& root) {
  Tree tree = ReadTree(root);
  for (auto it = tree.begin(); it != tree.end();) {
    const std::string& name = it->first;
    const bool standin_note = name.rfind("Zevrino.exe.", 0) == 0;
    it = standin_note ? tree.erase(it) : std::next(it);
  }
  return tree;
}

// The Linux immutable flag: nothing can be created in the folder or removed
// from it, not even by root, which is what the tests run as. Wine honours
// neither the read-only attribute of a folder nor, for root, its Unix mode,
// so this is the one way to make it refuse a write for real. Cleared again
// on destruction.
class ImmutableFolder {
 public:
  explicit ImmutableFolder(const fs::path& folder) : folder_(folder) { ok_ = SetFlag(true); }
  ~ImmutableFolder() {
    if (ok_) {
      SetFlag(false);
    }
  }
  bool ok() const { return ok_; }

 private:
  bool SetFlag(bool on) {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
      return false;
    }
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }

  fs::path folder_;
  bool ok_ = false;
};

class UpdateModeTest : public PrefixTest {
 protected:
  void SetUp() override {
    for (const fs::path& program :
         {RunLimitedExe(), InstallerStubExe(), ZevrinoStandinExe(),
          ZevrinoStandinExe(StandinVersion::kOlder), DialogRobotExe(),
          WindowsTestProgram("hold_file.exe"), WindowsTestProgram("hold_mutex.exe")}) {
      ZV_REQUIRE_WINDOWS_PROGRAM(program);
    }
    ASSERT_TRUE(OpenSharedPrefix({"update"})) << PrefixError();
    StopApplications();

    // Old and new differ in every file; the old one has a catalog the new
    // one no longer ships.
    old_tree_ = {{"Zevrino.exe", ReadBytes(ZevrinoStandinExe(StandinVersion::kOlder))},
                 {"resources/app.bin", Content(300000, 1)},
                 {"locales/en-US.pak", TextBytes("old en")},
                 {"locales/xx.pak", TextBytes("obsolete")}};
    // The new stand-in padded to 2 MiB (Windows ignores what follows an
    // image), so that the new files' size is known.
    Bytes new_exe = ReadBytes(ZevrinoStandinExe());
    ASSERT_LE(new_exe.size(), 2u << 20);
    new_exe.resize(2u << 20);
    new_tree_ = {{"Zevrino.exe", new_exe},
                 {"resources/app.bin", Content(320000, 2)},
                 {"locales/en-US.pak", TextBytes("new en")},
                 {"locales/de.pak", TextBytes("new de")}};
    ASSERT_NE(old_tree_["Zevrino.exe"], new_tree_["Zevrino.exe"]);
    Pack(old_tree_, old_installer_);
    Pack(new_tree_, new_installer_);
  }

  void TearDown() override {
    if (prefix_ != nullptr) {
      StopApplications();
    }
  }

  void Pack(const Tree& tree, const fs::path& installer) {
    std::string error;
    ASSERT_TRUE(PackTree(tree, installer, &error)) << error;
  }

  // Ends every stand-in of the prefix, so that each test starts from its
  // own installation.
  void StopApplications() {
    prefix_->RunWine({"taskkill", "/F", "/IM", "Zevrino.exe"});
    EXPECT_TRUE(WaitUntil(
        [&] { return !Contains(prefix_->RunWine({"tasklist"}).out, "Zevrino.exe"); }, 30s));
  }

  std::string InstallDirWindows() const {
    return "C:\\users\\" + prefix_->UserName() + "\\AppData\\Roaming\\Zevrino";
  }
  fs::path InstallDir() const { return prefix_->AppDataRoaming() / "Zevrino"; }
  fs::path StartLog() const { return InstallDir() / "Zevrino.exe.log"; }

  // A normal install of the old tree, with the stand-in behaving as
  // `behaviour` says, running once the install returns.
  void InstallOld(const std::string& behaviour = "") {
    fs::remove_all(InstallDir());
    if (!behaviour.empty()) {
      fs::create_directories(InstallDir());
      ASSERT_TRUE(WriteStandinBehaviour(InstallDir() / "Zevrino.exe", behaviour));
    }
    const ProcessResult result = prefix_->RunAsUser(RunLimitedExe(), old_installer_, {"--silent"});
    ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
    ASSERT_EQ(WaitForStarts(StartLog(), 1, 30s).size(), 1u);
    ASSERT_EQ(ApplicationFiles(InstallDir()), old_tree_);
  }

  // `installer` with --update `argument`, the new installer by default.
  std::future<ProcessResult> StartUpdate(const std::string& argument, fs::path installer = {}) {
    return StartAsUser(*prefix_, installer.empty() ? new_installer_ : installer,
                       {"--update", argument});
  }

  // Answers the error dialog of a failed update with Cancel; returns its
  // text.
  std::string CancelErrorDialog() {
    const RobotOutput robot = RunDialogRobot(*prefix_, {"wait", "#32770", "press", "2"}, 60s);
    EXPECT_TRUE(robot.Succeeded()) << robot.Describe();
    return robot.windows.empty() ? "" : robot.windows.back().MessageText();
  }

  // The stand-in was started again, the `starts`-th time, from its folder
  // and with " /UPDATECOMPLETE".
  void ExpectRestartedWithUpdateComplete(std::size_t starts) {
    const std::vector<StartRecord> records = WaitForStarts(StartLog(), starts, 30s);
    ASSERT_EQ(records.size(), starts);
    EXPECT_TRUE(Contains(records.back().command_line, " /UPDATECOMPLETE"))
        << records.back().command_line;
    EXPECT_EQ(records.back().directory, InstallDirWindows());
  }

  ScratchDir scratch_{"update"};
  Tree old_tree_;
  Tree new_tree_;
  fs::path old_installer_ = scratch_.path() / "old.exe";
  fs::path new_installer_ = scratch_.path() / "new.exe";
};

// The whole update: the running application is closed by its first close
// message, its files are replaced (the obsolete catalog goes), the
// installation is registered again, the start-up value of older versions
// goes, and the application is started again from its folder.
TEST_F(UpdateModeTest, ReplacesTheRunningApplicationAndRestartsIt) {
  InstallOld();
  ASSERT_TRUE(prefix_->RunWine({"reg", "delete", kUninstallKey, "/f"}).ExitedWith(0));
  ASSERT_TRUE(prefix_
                  ->RunWine({"reg", "add", kRunKey, "/v", "Zevrino Web Helper", "/d",
                             "C:\\old\\helper.exe", "/f"})
                  .ExitedWith(0));

  const ProcessResult update = StartUpdate(InstallDirWindows() + "\\Zevrino.exe").get();
  ASSERT_TRUE(update.ExitedWith(0)) << Describe(update);
  EXPECT_EQ(ReadStandinMessages(InstallDir() / "Zevrino.exe"),
            (std::vector<std::string>{"main WM_QUERYENDSESSION", "exit"}));
  EXPECT_EQ(ApplicationFiles(InstallDir()), new_tree_);
  ExpectRestartedWithUpdateComplete(2);

  std::string type;
  std::string data;
  EXPECT_TRUE(prefix_->QueryValue(kUninstallKey, "InstallLocation", &type, &data));
  EXPECT_EQ(data, InstallDirWindows());
  EXPECT_TRUE(prefix_->QueryValue(kUninstallKey, "DisplayVersion", &type, &data));
  EXPECT_EQ(data, ZV_PRODUCT_VERSION);
  // KiB of the new files, rounded up: 2 MiB + 320,012 bytes.
  EXPECT_TRUE(prefix_->QueryValue(kUninstallKey, "EstimatedSize", &type, &data));
  EXPECT_EQ(data, "0x939");
  EXPECT_FALSE(prefix_->QueryValue(kRunKey, "Zevrino Web Helper", &type, &data));
}

// Refusals and failures change nothing: a folder of the user's that holds no
// installation is refused before the application is closed; a "Zevrino
// Update Failed Mutex" held elsewhere ends the update with success, the
// application left running; a file of the installation
// held open by another process fails the install, which rolls back; so does
// a damaged package; a folder the user cannot write, or whose write-test
// name is a link, is refused before anything is written. Each
// time the previous installation stays byte for byte and starts.
TEST_F(UpdateModeTest, RefusalsAndFailuresLeaveThePreviousInstallation) {
  InstallOld();
  const fs::path documents = prefix_->DriveC() / "users" / prefix_->UserName() / "Documents";
  const Tree user_files = {{"notes.txt", TextBytes("the user's notes")},
                           {"locales/photo.jpg", TextBytes("a photo")},
                           {"~TMP draft ~", TextBytes("a draft")},
                           {"README", TextBytes("the user's readme")}};
  WriteTree(documents, user_files);
  // A folder of the user's that holds no installation is refused before the
  // running application hears of it: nothing there changes and the entry
  // still names the installation.
  const std::string windows_documents = "C:\\Users\\" + prefix_->UserName() + "\\Documents\\x.exe";
  {
    auto update = StartUpdate(windows_documents);
    EXPECT_TRUE(Contains(CancelErrorDialog(), "Error code: 24"));
    EXPECT_TRUE(update.get().ExitedWith(24));
  }
  EXPECT_EQ(ReadTree(documents), user_files);
  EXPECT_TRUE(ReadStandinMessages(InstallDir() / "Zevrino.exe").empty());
  std::string type, location;
  EXPECT_TRUE(prefix_->QueryValue(kUninstallKey, "InstallLocation", &type, &location));
  EXPECT_EQ(location, InstallDirWindows());
  {
    Holder failed(*prefix_, scratch_.path(), "hold_mutex.exe", "Zevrino Update Failed Mutex");
    ASSERT_TRUE(failed.holding());
    const ProcessResult result = StartUpdate(InstallDirWindows() + "\\Zevrino.exe").get();
    EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
    EXPECT_EQ(ApplicationFiles(InstallDir()), old_tree_);
    EXPECT_EQ(ReadStartLog(StartLog()).size(), 1u);
    EXPECT_TRUE(ReadStandinMessages(InstallDir() / "Zevrino.exe").empty()) << "closed";
  }
  {
    Holder locked(*prefix_, scratch_.path(), "hold_file.exe",
                  InstallDirWindows() + "\\resources\\app.bin");
    ASSERT_TRUE(locked.holding());
    auto update = StartUpdate(InstallDirWindows() + "\\Zevrino.exe");
    const std::string dialog = CancelErrorDialog();
    const ProcessResult result = update.get();
    EXPECT_TRUE(result.ExitedWith(18)) << Describe(result);
    EXPECT_TRUE(Contains(dialog, "Error code: 18")) << dialog;
  }
  EXPECT_EQ(ApplicationFiles(InstallDir()), old_tree_);

  // A damaged package: every new file is staged before an entry that would
  // leave the folder ends the install.
  std::vector<std::pair<std::string, Bytes>> entries(new_tree_.begin(), new_tree_.end());
  entries.emplace_back("../escaped.txt", TextBytes("escaped"));
  const fs::path damaged = scratch_.path() / "damaged.exe";
  std::string error;
  ASSERT_TRUE(WriteInstallerWithArchive(ArchiveOf(entries), damaged, &error)) << error;
  {
    auto update = StartUpdate(InstallDirWindows() + "\\Zevrino.exe", damaged);
    const std::string dialog = CancelErrorDialog();
    const ProcessResult result = update.get();
    EXPECT_TRUE(result.ExitedWith(8)) << Describe(result);
    EXPECT_TRUE(Contains(dialog, "Error code: 8")) << dialog;
  }
  EXPECT_EQ(ApplicationFiles(InstallDir()), old_tree_);
  EXPECT_FALSE(fs::exists(prefix_->AppDataRoaming() / "escaped.txt"));

  // A second installation outside the default folder, laid down by extract
  // mode, whose folder nobody may write.
  const fs::path other = prefix_->DriveC() / "zv other install";
  fs::remove_all(other);
  ASSERT_TRUE(
      prefix_->RunAsUser(RunLimitedExe(), old_installer_, {"--extract", "C:\\zv other install"})
          .ExitedWith(0));
  {
    ImmutableFolder immutable(other);
    ASSERT_TRUE(immutable.ok()) << "cannot set the immutable flag on " << other;
    auto update = StartUpdate("C:\\zv other install\\Zevrino.exe");
    const std::string dialog = CancelErrorDialog();
    const ProcessResult result = update.get();
    EXPECT_TRUE(result.ExitedWith(24)) << Describe(result);
    EXPECT_TRUE(Contains(dialog, "Error code: 24")) << dialog;
  }
  EXPECT_EQ(ReadTree(other), old_tree_);

  // The write test never opens through a link that holds its name: here one
  // to a file of the user's.
  fs::create_symlink(documents / "notes.txt", other / "~~Zevrino_WRITE_TEST~~");
  {
    auto update = StartUpdate("C:\\zv other install\\Zevrino.exe");
    EXPECT_TRUE(Contains(CancelErrorDialog(), "Error code: 24"));
    EXPECT_TRUE(update.get().ExitedWith(24));
  }
  fs::remove(other / "~~Zevrino_WRITE_TEST~~");
  EXPECT_EQ(ReadTree(other), old_tree_);
  fs::remove_all(other);

  // The previous installation still starts (a start with /uninstall only
  // notes itself and exits).
  const ProcessResult start =
      prefix_->RunWine({InstallDirWindows() + "\\Zevrino.exe", "/uninstall"}, {}, 60s);
  EXPECT_TRUE(start.ExitedWith(0)) << Describe(start);
  EXPECT_EQ(ApplicationFiles(InstallDir()), old_tree_);
}

// While another process holds "Zevrino Update Started Mutex" the update
// does nothing; once it is free, an application that ignores every close
// message is terminated and the update goes through.
TEST_F(UpdateModeTest, WaitsForTheStartedMutexAndTerminatesAnApplicationThatStays) {
  InstallOld("main=ignore\nlistener=ignore\n");
  Holder other(*prefix_, scratch_.path(), "hold_mutex.exe", "Zevrino Update Started Mutex");
  ASSERT_TRUE(other.holding());
  auto update = StartUpdate(InstallDirWindows() + "\\Zevrino.exe");
  // Nothing happens while the name is held: no close message arrives.
  EXPECT_EQ(update.wait_for(3s), std::future_status::timeout);
  EXPECT_TRUE(ReadStandinMessages(InstallDir() / "Zevrino.exe").empty());
  other.Release();

  const ProcessResult result = update.get();
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  // All four messages answered and ignored, then terminated: no "exit".
  EXPECT_EQ(ReadStandinMessages(InstallDir() / "Zevrino.exe"),
            (std::vector<std::string>{"main WM_QUERYENDSESSION", "main WM_CLOSE", "main WM_QUIT",
                                      "main WM_DESTROY"}));
  EXPECT_EQ(ApplicationFiles(InstallDir()), new_tree_);
  ExpectRestartedWithUpdateComplete(2);
}

// An update run with the administrator's token changes nothing (23); one
// whose folder is swapped for a link to another while it waits for the
// started mutex does not follow the swap (24), and neither folder changes.
TEST_F(UpdateModeTest, ElevatedOrSwappedTargetsAreNotUpdated) {
  InstallOld();
  StopApplications();
  const ProcessResult elevated = prefix_->RunWine(
      {new_installer_.string(), "--silent", "--update", InstallDirWindows() + "\\Zevrino.exe"});
  EXPECT_TRUE(elevated.ExitedWith(23)) << Describe(elevated);
  EXPECT_EQ(ApplicationFiles(InstallDir()), old_tree_);

  const fs::path moved = InstallDir().string() + ".moved";
  const fs::path other = prefix_->DriveC() / "zv planted";
  WriteTree(other, old_tree_);
  {
    Holder started(*prefix_, scratch_.path(), "hold_mutex.exe", "Zevrino Update Started Mutex");
    ASSERT_TRUE(started.holding());
    auto update = StartUpdate(InstallDirWindows() + "\\Zevrino.exe");
    // The update has found its target once it waits for the mutex, which
    // it shows by holding the update mutex.
    const RobotOutput waiting =
        RunDialogRobot(*prefix_, {"wait-mutex", "Zevrino Update Mutex"}, 60s);
    ASSERT_TRUE(waiting.Succeeded()) << waiting.Describe();
    fs::rename(InstallDir(), moved);
    fs::create_directory_symlink(other, InstallDir());
    started.Release();
    EXPECT_TRUE(Contains(CancelErrorDialog(), "Error code: 24"));
    EXPECT_TRUE(update.get().ExitedWith(24));
  }
  EXPECT_EQ(ApplicationFiles(other), old_tree_);
  fs::remove(InstallDir());
  fs::rename(moved, InstallDir());
  EXPECT_EQ(ApplicationFiles(InstallDir()), old_tree_);
  fs::remove_all(other);
}

// The executable stays in use for the whole wait (21 attempts, about 12 s):
// the dialog offers Retry, the installation is untouched, and the Retry in
// the same process installs once the file is free. Meanwhile the progress
// window can be neither closed nor minimised and shows a running bar.
TEST_F(UpdateModeTest, RetryAfterTheExecutableStayedInUse) {
  InstallOld();
  StopApplications();
  Holder holder(*prefix_, scratch_.path(), "hold_file.exe", InstallDirWindows() + "\\Zevrino.exe");
  ASSERT_TRUE(holder.holding());

  const auto started = std::chrono::steady_clock::now();
  auto update = StartUpdate(InstallDirWindows() + "\\Zevrino.exe");
  const RobotOutput robot = RunDialogRobot(*prefix_,
                                           {"wait", "ZevrinoInstaller", "wait-text", "50",
                                            "Installing Zevrino...", "describe", "wait", "#32770"},
                                           60s);
  const auto dialog_shown = std::chrono::steady_clock::now();
  ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
  ASSERT_EQ(robot.windows.size(), 3u) << robot.Describe();
  EXPECT_GE(dialog_shown - started, 11s);

  // Caption only: neither a system menu (so no close box) nor a minimise
  // box; the bar runs in marquee mode.
  const RobotWindow& window = robot.windows[1];
  EXPECT_EQ(window.style & kSystemMenuStyle, 0u);
  EXPECT_EQ(window.style & kMinimizeBoxStyle, 0u);
  EXPECT_EQ(window.style & kCaptionStyle, kCaptionStyle);
  const RobotChild* bar = window.Child(51);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->class_name, "msctls_progress32");
  EXPECT_NE(bar->style & kMarqueeStyle, 0u);
  const std::string dialog = robot.windows[2].MessageText();
  EXPECT_TRUE(Contains(dialog, "Error code: 14")) << dialog;
  EXPECT_EQ(robot.windows[2].ButtonIds(), (std::vector<int>{kIdRetry, kIdCancel}));
  EXPECT_EQ(ApplicationFiles(InstallDir()), old_tree_);

  holder.Release();
  const RobotOutput retry = RunDialogRobot(*prefix_, {"wait", "#32770", "press", "4"}, 60s);
  EXPECT_TRUE(retry.Succeeded()) << retry.Describe();
  const ProcessResult result = update.get();
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  EXPECT_EQ(ApplicationFiles(InstallDir()), new_tree_);
  ExpectRestartedWithUpdateComplete(2);
}

}  // namespace
}  // namespace zevrino::e2e
