// The normal install from its first step over fakes of its ports: the
// result, the directory chosen, the questions asked and errors shown, the
// mutexes held, and that nothing is closed before the update-started mutex
// is held nor installed before the application is closed.

#include "install/install_start_flow.h"

#include <gtest/gtest.h>

#include "base/named_objects.h"
#include "payload/payload_container.h"
#include "tests/support/mode_fakes.h"

namespace zevrino::desktop::installer {
namespace {

using Questions = std::vector<Question>;
constexpr Question kInProgress = Question::kInstallationInProgress;
constexpr Question kReplace = Question::kReplaceInstalled;
constexpr Question kClose = Question::kCloseApplication;

struct Fakes final : Account {
  bool account_allowed = true;
  bool MayInstall(bool) override { return account_allowed; }
  testing::FakeMutexes mutexes;
  testing::FakeFiles files;
  testing::FakeDialogs dialogs;
  testing::FakeSystem system;
  Options options;
  std::uint16_t flags = 0;

  InteractiveStart Run() {
    return RunNormalInstallFlow({{mutexes, *this, files, dialogs},
                                 {mutexes, system, dialogs},
                                 {system, system, system, dialogs, files}},
                                options, flags);
  }
};

TEST(InstallStartFlowTest, RefusesOrInstallsAsTheUserAndTheMachineSay) {
  const struct {
    const char* name;
    void (*setup)(Fakes&);
    ResultCode result;
    Questions asked;
    std::vector<ResultCode> errors;
    bool closed;
  } cases[] = {
      // clang-format off
      {"clear", [](Fakes&) {}, kSuccess, {}, {}, false},
      {"other installer", [](Fakes& f) { f.mutexes.others = {kInteractiveMutexName}; },
       kInteractiveInstallerRunning, {kInProgress}, {}, false},
      {"other installer, silent", [](Fakes& f) {
         f.mutexes.others = {kInteractiveMutexName};
         f.options.silent = true; },
       kInteractiveInstallerRunning, {}, {}, false},
      {"other installer, silent web run: shown", [](Fakes& f) {
         f.mutexes.others = {kInteractiveMutexName};
         f.options.silent = true;
         f.flags = kWebInstaller; },
       kInteractiveInstallerRunning, {kInProgress}, {}, false},
      {"elevated", [](Fakes& f) { f.account_allowed = false; }, kAccountRefused, {}, {}, false},
      {"no app-data folder", [](Fakes& f) { f.files.default_directory.clear(); },
       kNoAppDataFolder, {}, {kNoAppDataFolder}, false},
      {"no app-data folder, silent", [](Fakes& f) {
         f.files.default_directory.clear();
         f.options.silent = true; },
       kNoAppDataFolder, {}, {}, false},
      {"replace declined", [](Fakes& f) {
         f.files.same_or_newer = true;
         f.dialogs.answer = false; },
       kReplaceDeclined, {kReplace}, {}, false},
      {"replace, silent", [](Fakes& f) {
         f.files.same_or_newer = true;
         f.options.silent = true; },
       kSuccess, {}, {}, false},
      {"replace, never asked", [](Fakes& f) {
         f.files.same_or_newer = true;
         f.flags = kNoReplacePrompt; },
       kSuccess, {}, {}, false},
      {"update started", [](Fakes& f) { f.mutexes.others = {kUpdateStartedMutexName}; },
       kUpdateInProgress, {kInProgress}, {}, false},
      {"update started, silent", [](Fakes& f) {
         f.mutexes.others = {kUpdateStartedMutexName};
         f.options.silent = true; },
       kUpdateInProgress, {}, {}, false},
      {"running, declined", [](Fakes& f) {
         f.system.running = true;
         f.dialogs.answer = false; },
       kApplicationRunning, {kClose}, {}, false},
      {"running, silent", [](Fakes& f) {
         f.system.running = true;
         f.options.silent = true; },
       kApplicationRunning, {}, {}, false},
      {"running, closed", [](Fakes& f) { f.system.running = true; }, kSuccess, {kClose}, {}, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fakes fakes;
    c.setup(fakes);
    const InteractiveStart start = fakes.Run();
    EXPECT_EQ(start.result, c.result);
    EXPECT_EQ(fakes.dialogs.asked, c.asked);
    EXPECT_EQ(fakes.dialogs.errors, c.errors);
    EXPECT_EQ(fakes.system.closed_at != 0, c.closed);
    EXPECT_EQ(fakes.dialogs.progress, c.result == kSuccess && !fakes.options.silent);
    const bool installed = !fakes.system.installs.empty();
    EXPECT_EQ(installed, c.result == kSuccess);
    EXPECT_EQ(fakes.mutexes.held.count(kUpdateStartedMutexName) != 0,
              c.result == kSuccess || c.result == kApplicationRunning);
    if (installed) {
      EXPECT_EQ(start.directory, fakes.files.default_directory);
      EXPECT_EQ(fakes.system.installs.front(), start.directory);
      EXPECT_TRUE(fakes.mutexes.held.count(kInteractiveMutexName));
      EXPECT_LT(fakes.system.closed_at, fakes.system.listener_closed_at);
      EXPECT_LT(fakes.system.listener_closed_at, fakes.system.installed_at);
    }
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
