// The steps of an update against a fake system that keeps its directories,
// named mutexes and the executable's state in memory. Sleeps are recorded,
// not slept, so the full 21-attempt schedule runs in no time. The real
// probes are tested in update_mode_win_test.cpp.

#include "installer_stub/update_flow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "installer/named_objects.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer {
namespace {

using testing::ToUtf8;

using Events = std::vector<std::string>;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class FakeUpdateSystem final : public UpdateSystem {
 public:
  explicit FakeUpdateSystem(std::string default_directory)
      : default_directory_(std::move(default_directory)) {}

  void Sleep(unsigned milliseconds) override {
    events.push_back("sleep " + std::to_string(milliseconds));
    if (on_sleep) {
      on_sleep();
    }
  }
  const char* DefaultInstallDirectory() override { return default_directory_.c_str(); }
  std::vector<std::string> ProtectedFolders() override { return protected_folders; }
  bool PathsEqual(const char* a, const char* b) override { return Lower(a) == Lower(b); }
  // "." and ".." folded away; the directory must be one of `directories`.
  std::string ResolveExistingDirectory(const std::string& directory) override {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; start <= directory.size(); start = end + 1) {
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
  bool HoldsInstallation(const std::string&) override { return holds_installation; }
  bool IdentifyInstallation(const std::string& directory, InstallationIdentity* identity) override {
    identity->folder = folder_index;
    identity->has_executable = true;
    identity->executable = Lower(directory).size();
    return true;
  }
  void DeleteStartupEntry() override { events.push_back("delete start-up entry"); }
  bool HoldNamedMutex(const wchar_t* name) override {
    events.push_back("create " + ToUtf8(name));
    held.insert(name);
    return true;
  }
  bool TryHoldNewNamedMutex(const wchar_t* name, bool* now_held) override {
    events.push_back("try " + ToUtf8(name));
    // An update that waits on a name it holds itself would poll forever:
    // fail instead of hanging the test program.
    if (++tries_ > 1000) {
      ADD_FAILURE() << "still waiting for " << ToUtf8(name) << " after 1000 polls";
      *now_held = false;
      return true;
    }
    if (NameTaken(name)) {
      return false;
    }
    *now_held = held.insert(name).second;
    return true;
  }
  bool NamedMutexExists(const wchar_t* name) override {
    events.push_back("exists " + ToUtf8(name));
    return NameTaken(name);
  }
  void CloseRunningApplication(const std::string&) override { events.push_back("close"); }
  FileAccess OpenExclusively(const char*) override { return executable; }
  bool CanCreateFileIn(const std::string&) override { return can_create_files; }
  ResultCode InstallAndRegister(const std::string& directory, const PayloadReader&) override {
    events.push_back("install " + directory);
    return install_result;
  }
  bool StartApplication(const char* directory, const char* extra) override {
    events.push_back(std::string("start ") + directory + "|" + extra);
    return start_succeeds;
  }

  // Held by this process or, as `others` says, by another one.
  bool NameTaken(const std::wstring& name) const {
    return held.count(name) != 0 || others.count(name) != 0;
  }

  Events events;
  std::function<void()> on_sleep;
  ResultCode install_result = kSuccess;
  bool start_succeeds = true;
  bool holds_installation = true;
  bool can_create_files = true;
  std::uint64_t folder_index = 1;
  FileAccess executable = FileAccess::kOpened;
  std::vector<std::string> protected_folders;
  std::set<std::string> directories;  // existing, in lower case
  std::set<std::wstring> held;
  std::set<std::wstring> others;

 private:
  std::string default_directory_;
  int tries_ = 0;
};

const PayloadReader kNoPayload;

Events SuccessfulRunAfterWait(const std::string& target) {
  return {"delete start-up entry",
          "create Zevrino Update Mutex",
          "sleep 50",
          "try Zevrino Update Started Mutex",
          "exists Zevrino Update Failed Mutex",
          "close",
          "install " + target,
          "start " + target + "| /UPDATECOMPLETE"};
}

class UpdateFlowTest : public ::testing::Test {
 protected:
  // The installation given in the argument lies outside the default one,
  // which does not exist.
  UpdateFlowTest() : system_("C:\\Users\\u\\AppData\\Roaming\\Zevrino") {
    system_.directories = {"d:\\apps", Lower(target_)};
  }

  ResultCode Run(const std::string& argument) {
    return RunUpdate(argument.c_str(), kNoPayload, system_, held_);
  }

  const std::string target_ = "D:\\Apps\\Zevrino";
  const std::string argument_ = target_ + "\\Zevrino.exe";
  FakeUpdateSystem system_;
  UpdateMutexes held_;
};

// A whole update and two repeats of it in the same process: the repeats
// hold both mutexes already, so they neither create them again nor wait.
TEST_F(UpdateFlowTest, UpdatesTheInstallationAndRepeatsWithoutWaitingForItself) {
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_EQ(system_.events, SuccessfulRunAfterWait(target_));
  // Both names stay taken after the run.
  EXPECT_TRUE(system_.NameTaken(kUpdateMutexName));
  EXPECT_TRUE(system_.NameTaken(kUpdateStartedMutexName));

  const Events repeat = {"delete start-up entry", "exists Zevrino Update Failed Mutex", "close",
                         "install " + target_};
  system_.events.clear();
  system_.start_succeeds = false;
  EXPECT_EQ(Run(argument_), kLaunchFailed);
  Events expected = repeat;
  expected.push_back("start " + target_ + "| /UPDATECOMPLETE");
  EXPECT_EQ(system_.events, expected);

  system_.events.clear();
  system_.install_result = kReplaceFailed;
  EXPECT_EQ(Run(argument_), kReplaceFailed);
  EXPECT_EQ(system_.events, repeat);
}

// The executable stays in use: 14 after the full schedule, nothing
// installed. A Retry once it is free goes straight on to the install.
TEST_F(UpdateFlowTest, ExecutableInUseGives14AndARetryInstalls) {
  system_.executable = FileAccess::kInUse;
  EXPECT_EQ(Run(argument_), kFileInUse);
  Events expected = SuccessfulRunAfterWait(target_);
  expected.resize(6);
  expected.insert(expected.end(), 9, "sleep 100");
  expected.insert(expected.end(), 11, "sleep 1000");
  EXPECT_EQ(system_.events, expected);

  system_.executable = FileAccess::kOpened;
  system_.events.clear();
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_EQ(system_.events,
            (Events{"delete start-up entry", "exists Zevrino Update Failed Mutex", "close",
                    "install " + target_, "start " + target_ + "| /UPDATECOMPLETE"}));
}

// Another holder of "Zevrino Update Started Mutex": the update only polls,
// and goes on at the first poll after the name is gone.
TEST_F(UpdateFlowTest, WaitsUntilTheStartedMutexIsFree) {
  system_.others.insert(kUpdateStartedMutexName);
  int sleeps = 0;
  system_.on_sleep = [&] {
    if (++sleeps == 4) {
      system_.others.clear();
    }
  };
  EXPECT_EQ(Run(argument_), kSuccess);
  Events expected = {"delete start-up entry", "create Zevrino Update Mutex"};
  for (int i = 0; i < 4; ++i) {
    expected.push_back("sleep 50");
    expected.push_back("try Zevrino Update Started Mutex");
  }
  const Events rest = SuccessfulRunAfterWait(target_);
  expected.insert(expected.end(), rest.begin() + 4, rest.end());
  EXPECT_EQ(system_.events, expected);
}

// "Zevrino Update Failed Mutex" present: success without touching the
// files, even with the executable in use, and without closing the
// application.
TEST_F(UpdateFlowTest, FailedMutexEndsTheUpdateWithSuccess) {
  system_.others.insert(kUpdateFailedMutexName);
  system_.executable = FileAccess::kInUse;
  EXPECT_EQ(Run(argument_), kSuccess);
  Events expected = SuccessfulRunAfterWait(target_);
  expected.resize(5);
  EXPECT_EQ(system_.events, expected);
}

// The system drive's root and the profiles folder are replaced by the
// default installation, which is never write-tested: here it does not exist
// yet, so a write test would fail.
TEST_F(UpdateFlowTest, ForbiddenRootsUpdateTheDefaultInstallationUntested) {
  const std::string default_directory = system_.DefaultInstallDirectory();
  system_.can_create_files = false;
  for (const char* argument : {"C:\\Zevrino.exe", "c:\\users\\x"}) {
    SCOPED_TRACE(argument);
    system_.events.clear();
    EXPECT_EQ(Run(argument), kSuccess);
    ASSERT_GE(system_.events.size(), 2u);
    EXPECT_EQ(system_.events[system_.events.size() - 2], "install " + default_directory);
    EXPECT_EQ(system_.events.back(), "start " + default_directory + "| /UPDATECOMPLETE");
  }
}

// A target that is missing, holds no installation of this product or is a
// protected folder is refused before anything is done; "." and ".." are
// resolved first.
TEST_F(UpdateFlowTest, TargetsThatAreNoInstallationAreRefusedUntouched) {
  const std::string dotted = target_ + "\\sub\\..\\.\\Zevrino.exe";
  EXPECT_EQ(Run(dotted), kSuccess);
  EXPECT_EQ(system_.events, SuccessfulRunAfterWait(target_));

  system_.events.clear();
  EXPECT_EQ(Run(target_ + "\\missing\\Zevrino.exe"), kInstallDirNotWritable);
  EXPECT_EQ(Run("relative\\Zevrino.exe"), kInstallDirNotWritable);
  system_.holds_installation = false;
  EXPECT_EQ(Run(argument_), kInstallDirNotWritable);
  EXPECT_TRUE(system_.events.empty()) << system_.events.front();

  // A protected folder, in another spelling, means the default installation.
  system_.protected_folders = {target_ + "\\"};
  EXPECT_EQ(Run(dotted), kSuccess);
  EXPECT_EQ(system_.events.back(),
            "start " + std::string(system_.DefaultInstallDirectory()) + "| /UPDATECOMPLETE");
}

// Outside the default installation, a directory in which no new file can be
// created, or whose executable may not be opened for writing, gives 24.
TEST_F(UpdateFlowTest, UnwritableTargetGives24) {
  system_.can_create_files = false;
  EXPECT_EQ(Run(argument_), kInstallDirNotWritable);
  EXPECT_EQ(system_.events.back(), "close");

  system_.can_create_files = true;
  system_.executable = FileAccess::kDenied;
  system_.events.clear();
  EXPECT_EQ(Run(argument_), kInstallDirNotWritable);
  EXPECT_EQ(system_.events.back(), "close");
}

// A target swapped for another folder while the update waits (for the
// started mutex, or for the application to close) is not updated.
TEST_F(UpdateFlowTest, TargetSwappedDuringAWaitGives24) {
  for (const int swap_at_sleep : {1, 2}) {
    SCOPED_TRACE(swap_at_sleep);
    UpdateMutexes held;
    system_.held.clear();
    system_.folder_index = 1;
    system_.executable = FileAccess::kInUse;  // free after the first wait
    int sleeps = 0;
    system_.on_sleep = [&] {
      if (++sleeps == 2) {
        system_.executable = FileAccess::kOpened;
      }
      system_.folder_index += sleeps == swap_at_sleep ? 1 : 0;
    };
    system_.events.clear();
    EXPECT_EQ(RunUpdate(argument_.c_str(), kNoPayload, system_, held), kInstallDirNotWritable);
    EXPECT_EQ(std::count(system_.events.begin(), system_.events.end(), "install " + target_), 0);
  }
}

TEST(WaitForExclusiveAccessTest, AnswersAtOnceUnlessTheFileIsShared) {
  FakeUpdateSystem system("C:\\Z");
  int sleeps = 0;
  system.on_sleep = [&] { ++sleeps; };
  EXPECT_EQ(WaitForExclusiveAccess(system, "C:\\Z\\Zevrino.exe"), FileAccess::kOpened);
  system.executable = FileAccess::kFailed;
  EXPECT_EQ(WaitForExclusiveAccess(system, "C:\\Z\\absent.exe"), FileAccess::kFailed);
  EXPECT_EQ(sleeps, 0);

  // Free after the third attempt.
  system.executable = FileAccess::kInUse;
  system.on_sleep = [&] {
    if (++sleeps == 2) {
      system.executable = FileAccess::kOpened;
    }
  };
  EXPECT_EQ(WaitForExclusiveAccess(system, "C:\\Z\\Zevrino.exe"), FileAccess::kOpened);
  EXPECT_EQ(sleeps, 2);
}

}  // namespace
}  // namespace zevrino::desktop::installer
