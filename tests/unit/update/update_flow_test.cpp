// The update over fakes of its ports: what is held, closed, installed and
// started, and the waits it took (recorded, not slept, so the full schedule
// runs in no time). The real probes are tested in update_mode_win_test.cpp.

#include "update/update_flow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "base/named_objects.h"
#include "tests/support/mode_fakes.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer {
namespace {

using testing::FromUtf8;
using Sleeps = std::vector<unsigned>;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Paths compared without case; a directory resolves, with "." and ".."
// folded away, when it is one of `directories`.
struct FakePaths final : UpdatePaths {
  std::vector<std::string> protected_folders;
  std::set<std::string> directories;  // existing, in lower case
  std::vector<std::string> ProtectedFolders() override { return protected_folders; }
  bool PathsEqual(const char* a, const char* b) override { return Lower(a) == Lower(b); }
  std::string ResolveExistingDirectory(const std::string& directory) override {
    std::vector<std::string> parts;
    for (std::size_t start = 0, end; start <= directory.size(); start = end + 1) {
      end = std::min(directory.find('\\', start), directory.size());
      const std::string part = directory.substr(start, end - start);
      if (part == ".." && !parts.empty()) {
        parts.pop_back();
      } else if (part != "." && !part.empty()) {
        parts.push_back(part);
      }
    }
    std::string resolved;
    for (const std::string& part : parts) {
      resolved += (resolved.empty() ? "" : "\\") + part;
    }
    return directories.count(Lower(resolved)) != 0 ? resolved : "";
  }
};

class UpdateFlowTest : public ::testing::Test {
 protected:
  // The installation given in the argument lies outside the default one,
  // which does not exist.
  UpdateFlowTest() { paths_.directories = {"d:\\apps", Lower(target_)}; }

  ResultCode Run(const std::string& argument, UpdateMutexes& held) {
    return RunUpdate(argument.c_str(),
                     {paths_, files_, files_, system_, mutexes_, system_, system_, clock_}, held);
  }
  ResultCode Run(const std::string& argument) { return Run(argument, held_); }
  std::vector<std::wstring> Started(const std::string& directory) {
    return {FromUtf8(directory + " /UPDATECOMPLETE")};
  }

  const std::string target_ = "D:\\Apps\\Zevrino";
  const std::string argument_ = target_ + "\\Zevrino.exe";
  const std::string default_ = testing::ToUtf8(testing::FakeFiles().default_directory);
  FakePaths paths_;
  testing::FakeFiles files_;
  testing::FakeSystem system_;
  testing::FakeMutexes mutexes_;
  testing::FakeClock clock_;
  UpdateMutexes held_;
};

// A whole update, then two repeats in the same process: they hold both
// mutexes already, so they neither wait nor take them again.
TEST_F(UpdateFlowTest, UpdatesTheInstallationAndRepeatsWithoutWaitingForItself) {
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_FALSE(system_.startup_value);
  EXPECT_TRUE(mutexes_.Taken(kUpdateMutexName) && mutexes_.Taken(kUpdateStartedMutexName));
  EXPECT_EQ(system_.starts, Started(target_));
  EXPECT_EQ(system_.installs, std::vector<std::wstring>{FromUtf8(target_)});
  EXPECT_LT(system_.listener_closed_at, system_.installed_at);
  EXPECT_LT(system_.closed_at, system_.listener_closed_at);

  system_.start_succeeds = false;
  EXPECT_EQ(Run(argument_), kLaunchFailed);
  system_.install_results = {kReplaceFailed};
  EXPECT_EQ(Run(argument_), kReplaceFailed);
  EXPECT_EQ(system_.installs.size(), 3u);
  EXPECT_EQ(system_.starts.size(), 2u) << "no start after a failed install";
  EXPECT_EQ(clock_.sleeps, Sleeps{50});
}

// The executable stays in use: 14 after the full schedule, nothing
// installed. A Retry once it is free installs.
TEST_F(UpdateFlowTest, ExecutableInUseGives14AndARetryInstalls) {
  files_.access = FileAccess::kInUse;
  EXPECT_EQ(Run(argument_), kFileInUse);
  Sleeps expected{50};
  expected.insert(expected.end(), 9, 100);
  expected.insert(expected.end(), 11, 1000);
  EXPECT_EQ(clock_.sleeps, expected);
  EXPECT_TRUE(system_.installs.empty());
  EXPECT_NE(system_.closed_at, 0);

  files_.access = FileAccess::kOpened;
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_EQ(system_.installs.size(), 1u);
}

// Another holder of "Zevrino Update Started Mutex": the update polls and
// goes on at the first poll after the name is gone; nothing is closed or
// installed before it holds the name.
TEST_F(UpdateFlowTest, WaitsUntilTheStartedMutexIsFree) {
  mutexes_.others.insert(kUpdateStartedMutexName);
  clock_.on_sleep = [&] {
    EXPECT_EQ(system_.step, 0);
    if (clock_.sleeps.size() == 4) {
      mutexes_.others.clear();
    }
  };
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_EQ(clock_.sleeps, Sleeps(4, 50));
  EXPECT_TRUE(mutexes_.held.count(kUpdateStartedMutexName));
}

// "Zevrino Update Failed Mutex" present: success without closing or
// installing anything, even with the executable in use.
TEST_F(UpdateFlowTest, FailedMutexEndsTheUpdateWithSuccess) {
  mutexes_.others.insert(kUpdateFailedMutexName);
  files_.access = FileAccess::kInUse;
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_EQ(system_.step, 0);
}

// The system drive's root, the profiles folder and a protected folder (in
// another spelling) mean the default installation, which is never
// write-tested: here a write test would fail.
TEST_F(UpdateFlowTest, ForbiddenRootsUpdateTheDefaultInstallationUntested) {
  files_.can_create = false;
  paths_.protected_folders = {target_ + "\\"};
  for (const std::string& argument : {std::string("C:\\Zevrino.exe"), std::string("c:\\users\\x"),
                                      target_ + "\\sub\\..\\.\\Zevrino.exe"}) {
    SCOPED_TRACE(argument);
    system_.starts.clear();
    EXPECT_EQ(Run(argument), kSuccess);
    EXPECT_EQ(system_.starts, Started(default_));
  }
}

// A target that is missing, relative or holds no installation of this
// product is refused before anything is done; "." and ".." resolve first.
TEST_F(UpdateFlowTest, TargetsThatAreNoInstallationAreRefusedUntouched) {
  EXPECT_EQ(Run(target_ + "\\missing\\Zevrino.exe"), kInstallDirNotWritable);
  EXPECT_EQ(Run("relative\\Zevrino.exe"), kInstallDirNotWritable);
  files_.holds_product = false;
  EXPECT_EQ(Run(argument_), kInstallDirNotWritable);
  EXPECT_TRUE(system_.startup_value && mutexes_.held.empty() && system_.step == 0);

  files_.holds_product = true;
  EXPECT_EQ(Run(target_ + "\\sub\\..\\.\\Zevrino.exe"), kSuccess);
  EXPECT_EQ(system_.installs, std::vector<std::wstring>{FromUtf8(target_)});
}

// Outside the default installation, a directory in which no new file can be
// created, or whose executable may not be opened for writing, gives 24.
TEST_F(UpdateFlowTest, UnwritableTargetGives24) {
  files_.can_create = false;
  EXPECT_EQ(Run(argument_), kInstallDirNotWritable);
  files_.can_create = true;
  files_.access = FileAccess::kDenied;
  EXPECT_EQ(Run(argument_), kInstallDirNotWritable);
  EXPECT_TRUE(system_.installs.empty());
}

// A target swapped for another folder while the update waits (for the
// started mutex, or for the application to close) is not updated.
TEST_F(UpdateFlowTest, TargetSwappedDuringAWaitGives24) {
  for (const std::size_t swap_at_sleep : {1, 2}) {
    SCOPED_TRACE(swap_at_sleep);
    UpdateMutexes held;
    mutexes_.held.clear();
    clock_.sleeps.clear();
    files_.access = FileAccess::kInUse;  // free after the first wait
    clock_.on_sleep = [&] {
      files_.access = clock_.sleeps.size() == 2 ? FileAccess::kOpened : files_.access;
      files_.folder += clock_.sleeps.size() == swap_at_sleep ? 1 : 0;
    };
    EXPECT_EQ(Run(argument_, held), kInstallDirNotWritable);
    EXPECT_TRUE(system_.installs.empty());
  }
}

TEST(WaitForExclusiveAccessTest, AnswersAtOnceUnlessTheFileIsShared) {
  testing::FakeFiles files;
  testing::FakeClock clock;
  EXPECT_EQ(WaitForExclusiveAccess(files, clock, L"Zevrino.exe"), FileAccess::kOpened);
  files.access = FileAccess::kFailed;
  EXPECT_EQ(WaitForExclusiveAccess(files, clock, L"absent.exe"), FileAccess::kFailed);
  EXPECT_TRUE(clock.sleeps.empty());

  files.access = FileAccess::kInUse;  // free after the third attempt
  clock.on_sleep = [&] {
    files.access = clock.sleeps.size() == 2 ? FileAccess::kOpened : files.access;
  };
  EXPECT_EQ(WaitForExclusiveAccess(files, clock, L"Zevrino.exe"), FileAccess::kOpened);
  EXPECT_EQ(clock.sleeps, (Sleeps{100, 100}));
}

}  // namespace
}  // namespace zevrino::desktop::installer
