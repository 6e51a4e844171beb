// The steps of an update against real files and real named mutexes, with
// the registry, the application, the install and the start faked. The
// mutexes carry a prefix of this test process so that other test programs
// of the same Wine session cannot disturb them; sleeps are recorded, not
// slept, so the full 21-attempt schedule runs in no time.

#include "installer_stub/update_flow_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/process_win.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer {
namespace {

using testing::FromUtf8;
using testing::HeldFile;
using testing::ScratchDirectory;
using testing::ToUtf8;
using Events = std::vector<std::string>;

class FakeUpdateSystem final : public UpdateSystem {
 public:
  explicit FakeUpdateSystem(std::string default_directory)
      : default_directory_(std::move(default_directory)),
        prefix_(L"zv update test " + std::to_wstring(::GetCurrentProcessId()) + L" ") {}

  // The name this fake gives the mutex `name`.
  std::wstring Private(const wchar_t* name) const { return prefix_ + name; }

  void Sleep(unsigned milliseconds) override {
    events.push_back("sleep " + std::to_string(milliseconds));
    if (on_sleep) {
      on_sleep();
    }
  }
  const char* DefaultInstallDirectory() override { return default_directory_.c_str(); }
  std::vector<std::string> ProtectedFolders() override { return protected_folders; }
  bool HoldsInstallation(const std::string&) override { return holds_installation; }
  void DeleteStartupEntry() override { events.push_back("delete start-up entry"); }
  HANDLE CreateMarker(const wchar_t* name) override {
    events.push_back("create " + ToUtf8(name));
    return ::CreateMutexW(nullptr, FALSE, Private(name).c_str());
  }
  bool TryCreateMarker(const wchar_t* name, HANDLE* handle) override {
    events.push_back("try " + ToUtf8(name));
    // An update that waits on a name it holds itself would poll forever:
    // fail instead of hanging the test program.
    if (++tries_ > 1000) {
      ADD_FAILURE() << "still waiting for " << ToUtf8(name) << " after 1000 polls";
      *handle = nullptr;
      return true;
    }
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, Private(name).c_str());
    if (mutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
      ::CloseHandle(mutex);
      return false;
    }
    *handle = mutex;
    return true;
  }
  bool MarkerExists(const wchar_t* name) override {
    events.push_back("exists " + ToUtf8(name));
    HANDLE mutex = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, Private(name).c_str());
    if (mutex == nullptr) {
      return false;
    }
    ::CloseHandle(mutex);
    return true;
  }
  void CloseRunningApplication() override { events.push_back("close"); }
  ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader&) override {
    events.push_back("install " + ToUtf8(directory));
    return install_result;
  }
  bool StartApplication(const char* directory, const char* extra) override {
    events.push_back(std::string("start ") + directory + "|" + extra);
    return start_succeeds;
  }

  Events events;
  std::function<void()> on_sleep;
  ResultCode install_result = kSuccess;
  bool start_succeeds = true;
  bool holds_installation = true;
  std::vector<std::string> protected_folders;

 private:
  std::string default_directory_;
  std::wstring prefix_;
  int tries_ = 0;
};

// A mutex of the fake's namespace held by the test, as another process
// would hold it.
class HeldMarker {
 public:
  HeldMarker(const FakeUpdateSystem& system, const wchar_t* name)
      : handle_(::CreateMutexW(nullptr, FALSE, system.Private(name).c_str())) {}
  void Release() { handle_.Close(); }

 private:
  ScopedKernelHandle handle_;
};

bool NameTaken(const FakeUpdateSystem& system, const wchar_t* name) {
  const ScopedKernelHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, system.Private(name).c_str()));
  return mutex.valid();
}

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
  // The installation given in the argument lies outside the default one.
  UpdateFlowTest() : system_(ToUtf8(default_dir_.path()) + "\\Zevrino") {
    exe_ = install_.Write(L"Zevrino.exe", {'M', 'Z'});
    target_ = ToUtf8(install_.path());
    argument_ = target_ + "\\Zevrino.exe";
  }

  ResultCode Run(const std::string& argument) {
    return RunUpdate(argument.c_str(), kNoPayload, system_, markers_);
  }

  // The files of the installation directory, to see that no write test is
  // left behind.
  std::vector<std::wstring> InstallFiles() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((install_.path().wstring() + L"\\*").c_str(), &found);
    EXPECT_NE(search, INVALID_HANDLE_VALUE);
    do {
      if (found.cFileName[0] != L'.') {
        names.push_back(found.cFileName);
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
  }

  ScratchDirectory default_dir_;
  ScratchDirectory install_;
  std::wstring exe_;
  std::string target_;
  std::string argument_;
  FakeUpdateSystem system_;
  UpdateMarkers markers_;
};

// A whole update and two repeats of it in the same process: the repeats
// hold both mutexes already, so they neither create them again nor wait.
TEST_F(UpdateFlowTest, UpdatesTheInstallationAndRepeatsWithoutWaitingForItself) {
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_EQ(system_.events, SuccessfulRunAfterWait(target_));
  EXPECT_EQ(InstallFiles(), std::vector<std::wstring>{L"Zevrino.exe"});
  // Both names stay taken after the run.
  EXPECT_TRUE(NameTaken(system_, kUpdateMutexName));
  EXPECT_TRUE(NameTaken(system_, kUpdateStartedMutexName));

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
  HeldFile held(exe_);
  EXPECT_EQ(Run(argument_), kFileInUse);
  Events expected = SuccessfulRunAfterWait(target_);
  expected.resize(6);
  expected.insert(expected.end(), 9, "sleep 100");
  expected.insert(expected.end(), 11, "sleep 1000");
  EXPECT_EQ(system_.events, expected);

  held.Release();
  system_.events.clear();
  EXPECT_EQ(Run(argument_), kSuccess);
  EXPECT_EQ(system_.events,
            (Events{"delete start-up entry", "exists Zevrino Update Failed Mutex", "close",
                    "install " + target_, "start " + target_ + "| /UPDATECOMPLETE"}));
}

// Another holder of "Zevrino Update Started Mutex": the update only polls,
// and goes on at the first poll after the name is gone.
TEST_F(UpdateFlowTest, WaitsUntilTheStartedMutexIsFree) {
  HeldMarker other(system_, kUpdateStartedMutexName);
  int sleeps = 0;
  system_.on_sleep = [&] {
    if (++sleeps == 4) {
      other.Release();
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
  HeldMarker failed(system_, kUpdateFailedMutexName);
  HeldFile held(exe_);
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
  const std::wstring sub = install_ / L"sub";
  ASSERT_TRUE(::CreateDirectoryW(sub.c_str(), nullptr));
  const std::string dotted = target_ + "\\sub\\..\\.\\Zevrino.exe";
  EXPECT_EQ(Run(dotted), kSuccess);
  EXPECT_EQ(system_.events, SuccessfulRunAfterWait(target_));
  EXPECT_TRUE(::RemoveDirectoryW(sub.c_str()));

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
  // A name the write test would have to open through.
  const std::wstring taken = install_ / FromUtf8(kWriteTestFileName);
  ASSERT_TRUE(::CreateDirectoryW(taken.c_str(), nullptr));
  EXPECT_EQ(Run(argument_), kInstallDirNotWritable);
  EXPECT_EQ(system_.events.back(), "close");
  EXPECT_TRUE(::RemoveDirectoryW(taken.c_str()));

  // An executable that cannot be opened for writing (here a folder of that
  // name; Wine grants root write access to read-only files).
  ScratchDirectory other;
  const std::wstring folder = other / L"Zevrino.exe";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  system_.events.clear();
  EXPECT_EQ(Run(ToUtf8(folder)), kInstallDirNotWritable);
  EXPECT_EQ(system_.events.back(), "close");
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
}

TEST(WaitForExclusiveAccessTest, AnswersAtOnceUnlessTheFileIsShared) {
  ScratchDirectory dir;
  const std::wstring file = dir.Write(L"Zevrino.exe", {'M', 'Z'});
  int sleeps = 0;
  const auto count = [&](unsigned) { ++sleeps; };
  EXPECT_EQ(WaitForExclusiveAccess(ToUtf8(file).c_str(), {}, count), 0u);
  EXPECT_EQ(WaitForExclusiveAccess(ToUtf8(dir / L"absent.exe").c_str(), {}, count),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(sleeps, 0);

  // Free after the third attempt.
  HeldFile held(file);
  const auto release = [&](unsigned) {
    if (++sleeps == 2) {
      held.Release();
    }
  };
  EXPECT_EQ(WaitForExclusiveAccess(ToUtf8(file).c_str(), {}, release), 0u);
  EXPECT_EQ(sleeps, 2);
}

TEST(PathsEqualIgnoreCaseTest, IgnoresCaseBeyondAscii) {
  EXPECT_TRUE(PathsEqualIgnoreCase("C:\\USERS", "c:\\users"));
  EXPECT_TRUE(PathsEqualIgnoreCase("C:\\\xC3\x84rger", "c:\\\xC3\xA4RGER"));
  EXPECT_FALSE(PathsEqualIgnoreCase("C:\\Users", "C:\\Users\\"));
  EXPECT_FALSE(PathsEqualIgnoreCase("C:\\a", "\xFF"));
}

}  // namespace
}  // namespace zevrino::desktop::installer
