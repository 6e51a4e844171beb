// The real ports of an update against real files, folders and named
// mutexes; the order they are used in is update_flow_test.cpp's.

#include "update/update_mode_win.h"

#include <gtest/gtest.h>

#include <string>

#include "install/mode_ports_win.h"
#include "tests/support/scratch_directory.h"
#include "windows/named_mutex_win.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {
namespace {

using testing::ScratchDirectory;

class WindowsUpdatePortsTest : public ::testing::Test {
 protected:
  WindowsUpdatePaths paths_;
  WindowsFiles files_;
  WindowsInstallationProbe probe_{nullptr};
  ScratchDirectory dir_{"zv-update"};
  const std::string path_ = dir_.path().u8string();
};

// Free, held without sharing (as a running process holds it), missing, and
// a folder of that name (Wine grants root write access to read-only files).
TEST_F(WindowsUpdatePortsTest, ExclusiveOpenTellsInUseFromDenied) {
  const std::wstring file = dir_.Write("Zevrino.exe", {'M', 'Z'}).wstring();
  EXPECT_EQ(files_.OpenExclusively(file), FileAccess::kOpened);
  {
    const ScopedFileHandle held(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(files_.OpenExclusively(file), FileAccess::kInUse);
  }
  EXPECT_EQ(files_.OpenExclusively((dir_ / "absent.exe").wstring()), FileAccess::kFailed);
  const std::wstring folder = (dir_ / "folder.exe").wstring();
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_EQ(files_.OpenExclusively(folder), FileAccess::kDenied);
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
}

// The write test leaves nothing behind, and never opens through a name that
// something already holds; a plain file a crashed run left there goes.
TEST_F(WindowsUpdatePortsTest, WriteTestMakesANewFileOnly) {
  for (const bool leftover : {false, true}) {
    if (leftover) {
      dir_.Write(kWriteTestFileName, {'x'});
    }
    EXPECT_TRUE(files_.CanCreateFileIn(dir_.path().wstring())) << leftover;
    EXPECT_EQ(::GetFileAttributesW((dir_ / "~~Zevrino_WRITE_TEST~~").c_str()),
              INVALID_FILE_ATTRIBUTES);
  }
  const std::wstring taken = (dir_ / kWriteTestFileName).wstring();
  ASSERT_TRUE(::CreateDirectoryW(taken.c_str(), nullptr));
  EXPECT_FALSE(files_.CanCreateFileIn(dir_.path().wstring()));
  EXPECT_TRUE(::RemoveDirectoryW(taken.c_str()));
}

// "." and ".." are resolved; what does not exist, or is no directory,
// resolves to nothing.
TEST_F(WindowsUpdatePortsTest, ResolvesExistingDirectoriesOnly) {
  const std::wstring sub = (dir_ / "sub").wstring();
  ASSERT_TRUE(::CreateDirectoryW(sub.c_str(), nullptr));
  const std::string resolved = paths_.ResolveExistingDirectory(path_ + "\\sub\\..\\.");
  EXPECT_TRUE(paths_.PathsEqual(resolved.c_str(), path_.c_str())) << resolved;
  EXPECT_EQ(paths_.ResolveExistingDirectory(path_ + "\\missing"), "");
  dir_.Write("file", {});
  EXPECT_EQ(paths_.ResolveExistingDirectory(path_ + "\\file"), "");
  EXPECT_TRUE(::RemoveDirectoryW(sub.c_str()));
}

DWORD WINAPI FinalPathUnsupported(HANDLE, LPWSTR, DWORD, DWORD) {
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return 0;
}

// Where the file system cannot name a final path, the full path stands in;
// an installation's identity follows its files, not their names.
TEST_F(WindowsUpdatePortsTest, ResolvesWithoutFinalPathsAndIdentifiesTheInstallation) {
  WindowsUpdatePaths unsupported(FinalPathUnsupported);
  const std::string resolved = unsupported.ResolveExistingDirectory(path_ + "\\.\\");
  EXPECT_TRUE(paths_.PathsEqual(resolved.c_str(), path_.c_str())) << resolved;
  EXPECT_EQ(unsupported.ResolveExistingDirectory(path_ + "\\missing"), "");

  InstallationIdentity before;
  InstallationIdentity after;
  dir_.Write("Zevrino.exe", {'M', 'Z'});
  ASSERT_TRUE(probe_.Identify(dir_.path().wstring(), &before));
  dir_.Write("other.exe", {'M', 'Z'});
  ASSERT_TRUE(::MoveFileExW((dir_ / "other.exe").c_str(), (dir_ / "Zevrino.exe").c_str(),
                            MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(probe_.Identify(dir_.path().wstring(), &after));
  EXPECT_TRUE(before.has_executable && before.folder == after.folder && !(before == after));
  EXPECT_FALSE(probe_.Identify((dir_ / "missing").wstring(), &after));
}

TEST_F(WindowsUpdatePortsTest, PathsEqualIgnoresCaseBeyondAscii) {
  EXPECT_TRUE(paths_.PathsEqual("C:\\USERS", "c:\\users"));
  EXPECT_TRUE(paths_.PathsEqual("C:\\\xC3\x84rger", "c:\\\xC3\xA4RGER"));
  EXPECT_FALSE(paths_.PathsEqual("C:\\Users", "C:\\Users\\"));
  EXPECT_FALSE(paths_.PathsEqual("C:\\a", "\xFF"));
}

// A held name stays taken for this process too; a name nobody made is free;
// a released one is free again.
TEST_F(WindowsUpdatePortsTest, NamedMutexesStayHeldUntilReleased) {
  const std::wstring name = L"zv update test " + std::to_wstring(::GetCurrentProcessId());
  WindowsNamedMutexes mutexes;
  bool held = false;
  EXPECT_FALSE(mutexes.Exists(name.c_str()));
  EXPECT_TRUE(mutexes.TryTake(name.c_str(), &held));
  EXPECT_TRUE(held);
  EXPECT_FALSE(mutexes.TryTake(name.c_str(), &held));
  mutexes.Release(name.c_str());
  EXPECT_FALSE(mutexes.Exists(name.c_str()));
  EXPECT_TRUE(mutexes.Hold(name.c_str()));
  EXPECT_TRUE(mutexes.Exists(name.c_str()));
}

}  // namespace
}  // namespace zevrino::desktop::installer
