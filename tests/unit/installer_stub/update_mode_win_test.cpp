// The probes of the real update system against real files, folders and
// named mutexes; the order they are used in is update_flow_test.cpp's.

#include "installer_stub/update_mode_win.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/scoped_handle_win.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer {
namespace {

using testing::ScratchDirectory;
using testing::ToUtf8;

class WindowsUpdateSystemTest : public ::testing::Test {
 protected:
  Options options_;
  WindowsUpdateSystem system_{options_};
  ScratchDirectory dir_{"zv-update"};
  const std::string path_ = dir_.path().u8string();
};

// Free, held without sharing (as a running process holds it), missing, and
// a folder of that name (Wine grants root write access to read-only files).
TEST_F(WindowsUpdateSystemTest, ExclusiveOpenTellsInUseFromDenied) {
  const std::wstring file = dir_.Write("Zevrino.exe", {'M', 'Z'}).wstring();
  EXPECT_EQ(system_.OpenExclusively(ToUtf8(file).c_str()), FileAccess::kOpened);
  {
    const ScopedFileHandle held(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(system_.OpenExclusively(ToUtf8(file).c_str()), FileAccess::kInUse);
  }
  EXPECT_EQ(system_.OpenExclusively((path_ + "\\absent.exe").c_str()), FileAccess::kFailed);
  const std::wstring folder = (dir_ / "folder.exe").wstring();
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_EQ(system_.OpenExclusively(ToUtf8(folder).c_str()), FileAccess::kDenied);
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
}

// The write test leaves nothing behind, and never opens through a name that
// something already holds; a plain file a crashed run left there goes.
TEST_F(WindowsUpdateSystemTest, WriteTestMakesANewFileOnly) {
  for (const bool leftover : {false, true}) {
    if (leftover) {
      dir_.Write(kWriteTestFileName, {'x'});
    }
    EXPECT_TRUE(system_.CanCreateFileIn(path_)) << leftover;
    EXPECT_EQ(::GetFileAttributesW((dir_ / "~~Zevrino_WRITE_TEST~~").c_str()),
              INVALID_FILE_ATTRIBUTES);
  }
  const std::wstring taken = (dir_ / kWriteTestFileName).wstring();
  ASSERT_TRUE(::CreateDirectoryW(taken.c_str(), nullptr));
  EXPECT_FALSE(system_.CanCreateFileIn(path_));
  EXPECT_TRUE(::RemoveDirectoryW(taken.c_str()));
}

// "." and ".." are resolved; what does not exist, or is no directory,
// resolves to nothing.
TEST_F(WindowsUpdateSystemTest, ResolvesExistingDirectoriesOnly) {
  const std::wstring sub = (dir_ / "sub").wstring();
  ASSERT_TRUE(::CreateDirectoryW(sub.c_str(), nullptr));
  const std::string resolved = system_.ResolveExistingDirectory(path_ + "\\sub\\..\\.");
  EXPECT_TRUE(system_.PathsEqual(resolved.c_str(), path_.c_str())) << resolved;
  EXPECT_EQ(system_.ResolveExistingDirectory(path_ + "\\missing"), "");
  dir_.Write("file", {});
  EXPECT_EQ(system_.ResolveExistingDirectory(path_ + "\\file"), "");
  EXPECT_TRUE(::RemoveDirectoryW(sub.c_str()));
}

DWORD WINAPI FinalPathUnsupported(HANDLE, LPWSTR, DWORD, DWORD) {
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return 0;
}

// Where the file system cannot name a final path, the full path stands in;
// an installation's identity follows its files, not their names.
TEST_F(WindowsUpdateSystemTest, ResolvesWithoutFinalPathsAndIdentifiesTheInstallation) {
  WindowsUpdateSystem unsupported(options_, FinalPathUnsupported);
  const std::string resolved = unsupported.ResolveExistingDirectory(path_ + "\\.\\");
  EXPECT_TRUE(system_.PathsEqual(resolved.c_str(), path_.c_str())) << resolved;
  EXPECT_EQ(unsupported.ResolveExistingDirectory(path_ + "\\missing"), "");

  InstallationIdentity before;
  InstallationIdentity after;
  dir_.Write("Zevrino.exe", {'M', 'Z'});
  ASSERT_TRUE(system_.IdentifyInstallation(path_, &before));
  dir_.Write("other.exe", {'M', 'Z'});
  ASSERT_TRUE(::MoveFileExW((dir_ / "other.exe").c_str(), (dir_ / "Zevrino.exe").c_str(),
                            MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(system_.IdentifyInstallation(path_, &after));
  EXPECT_TRUE(before.has_executable && before.folder == after.folder && !(before == after));
  EXPECT_FALSE(system_.IdentifyInstallation(path_ + "\\missing", &after));
}

TEST_F(WindowsUpdateSystemTest, PathsEqualIgnoresCaseBeyondAscii) {
  EXPECT_TRUE(system_.PathsEqual("C:\\USERS", "c:\\users"));
  EXPECT_TRUE(system_.PathsEqual("C:\\\xC3\x84rger", "c:\\\xC3\xA4RGER"));
  EXPECT_FALSE(system_.PathsEqual("C:\\Users", "C:\\Users\\"));
  EXPECT_FALSE(system_.PathsEqual("C:\\a", "\xFF"));
}

// A held name stays taken for this process too; a name nobody made is free.
TEST_F(WindowsUpdateSystemTest, NamedMutexesStayHeld) {
  const std::wstring name = L"zv update test " + std::to_wstring(::GetCurrentProcessId());
  bool held = false;
  EXPECT_FALSE(system_.NamedMutexExists(name.c_str()));
  EXPECT_TRUE(system_.TryHoldNewNamedMutex(name.c_str(), &held));
  EXPECT_TRUE(held);
  EXPECT_FALSE(system_.TryHoldNewNamedMutex(name.c_str(), &held));
  EXPECT_TRUE(system_.HoldNamedMutex(name.c_str()));
  EXPECT_TRUE(system_.NamedMutexExists(name.c_str()));
}

}  // namespace
}  // namespace zevrino::desktop::installer
