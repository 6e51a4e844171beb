// The installer on real files through WindowsFileSystem, under Wine in the
// cross build. Files are held open (HeldFile) where a test needs a file in
// use, as the running application would hold it: sharing is checked per
// handle, whichever process owns it.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "files/transacted_file_installer.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/install_driver.h"
#include "tests/support/process_win.h"
#include "tests/support/scratch_directory.h"

namespace zevrino::desktop::installer::testing {
namespace {

namespace fs = std::filesystem;

// The installation directory is a not yet existing folder inside a scratch
// directory.
class RealDisk final : public TestDisk {
 public:
  void Reset(const FileTree& files) override {
    fs::remove_all(directory());
    for (const auto& [path, content] : files) {
      WriteText(directory() / path, content);
    }
  }
  FileSystem& file_system() override { return *file_system_; }
  FileTree Read() override {
    FileTree tree;
    if (!fs::exists(directory())) {
      return tree;
    }
    for (const auto& entry : fs::recursive_directory_iterator(directory())) {
      if (entry.is_regular_file()) {
        tree[entry.path().lexically_relative(directory()).wstring()] = ReadText(entry.path());
      }
    }
    return tree;
  }
  DirectorySet ReadDirectories() override {
    DirectorySet directories;
    if (fs::exists(directory())) {
      directories.insert(L".");
      for (const auto& entry : fs::recursive_directory_iterator(directory())) {
        if (entry.is_directory()) {
          directories.insert(entry.path().lexically_relative(directory()).wstring());
        }
      }
    }
    return directories;
  }
  std::wstring installation_directory() override { return directory().wstring(); }
  fs::path directory() const { return root_ / L"AppData" / L"Zevrino"; }

 private:
  ScratchDirectory root_{"txn_test"};
  std::unique_ptr<FileSystem> file_system_ = CreateFileSystem();
};

ByteRange Bytes(const std::string& text) {
  return ByteRange{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

const FileTree kThreeOld = {{L"a.dll", "old a"}, {L"b.dll", "old b"}, {L"c.dll", "old c"}};

TEST(WindowsInstall, EverySingleFaultLeavesTheOldOrTheNewTree) {
  RealDisk disk;
  for (const Scenario& scenario : SmallScenarios()) {
    ExpectAllOrNothingUnderEverySingleFault(disk, scenario);
    ExpectRollbackUnderEverySingleFault(disk, scenario);
  }
}

TEST(WindowsInstall, FirstInstallationCreatesTheMissingDirectoryChain) {
  RealDisk disk;
  const fs::path directory = disk.directory() / L"nested" / L"twice";
  {
    // The production constructor: this process's id and the real Sleep.
    TransactedFileInstaller installer(disk.file_system(), directory.wstring());
    ASSERT_EQ(installer.Prepare(), kSuccess);
    ASSERT_EQ(installer.AddFile(L"Zevrino.exe", Bytes("exe")), kSuccess);
    ASSERT_EQ(installer.AddFile(L"locales/en.pak", Bytes("en")), kSuccess);
    ASSERT_EQ(installer.AddFile(L"empty.bin", Bytes("")), kSuccess);
    ASSERT_EQ(installer.ScheduleObsoleteFileRemoval(), kSuccess);
    ASSERT_EQ(installer.Commit(), kSuccess);
  }
  EXPECT_EQ(disk.Read(), (FileTree{{L"nested\\twice\\Zevrino.exe", "exe"},
                                   {L"nested\\twice\\locales\\en.pak", "en"},
                                   {L"nested\\twice\\empty.bin", ""}}));
}

TEST(WindowsInstall, UpgradeRemovesObsoleteLocalesEvenWhenOnlyTheCaseChanged) {
  RealDisk disk;
  disk.Reset({{L"Zevrino.exe", "old exe"},
              {L"readme.txt", "outside locales: kept"},
              {L"locales\\de.pak", "old de"},
              {L"locales\\fr.pak", "old fr"}});
  std::vector<std::uint32_t> waits;
  {
    TransactedFileInstaller installer(disk.file_system(), disk.installation_directory(), 77,
                                      [&](std::uint32_t ms) { waits.push_back(ms); });
    ASSERT_EQ(installer.Prepare(), kSuccess);
    ASSERT_EQ(installer.AddFile(L"Zevrino.exe", Bytes("new exe")), kSuccess);
    // The file system ignores case: this is the old de.pak's successor, and
    // the obsolete-file set (which compares with case) still lists de.pak.
    ASSERT_EQ(installer.AddFile(L"locales/DE.pak", Bytes("new de")), kSuccess);
    ASSERT_EQ(installer.ScheduleObsoleteFileRemoval(), kSuccess);
    ASSERT_EQ(installer.Commit(), kSuccess);
  }
  EXPECT_TRUE(waits.empty());
  EXPECT_EQ(ReadText(disk.directory() / L"locales" / L"de.pak"), "new de");
  const FileTree tree = disk.Read();
  EXPECT_EQ(tree.size(), 3u);
  EXPECT_EQ(tree.count(L"locales\\fr.pak"), 0u);
  EXPECT_EQ(tree.at(L"readme.txt"), "outside locales: kept");
  EXPECT_EQ(tree.at(L"Zevrino.exe"), "new exe");
}

// Wine, like Windows, refuses to rename or copy a file that another process
// holds open without any sharing (ERROR_SHARING_VIOLATION). Unlike a normal
// Windows user, a Wine process may schedule deletions for the next reboot, so
// the rollback's clean-up of temporary files never meets error 14 here.
TEST(WindowsInstall, LockedDestinationFailsWith18AndRestoresReplacedFiles) {
  RealDisk disk;
  disk.Reset(kThreeOld);
  HeldFile holder(disk.directory() / L"b.dll", 0);
  std::vector<std::uint32_t> waits;
  {
    TransactedFileInstaller installer(disk.file_system(), disk.installation_directory(), 78,
                                      [&](std::uint32_t ms) { waits.push_back(ms); });
    ASSERT_EQ(installer.Prepare(), kSuccess);
    for (const wchar_t* name : {L"a.dll", L"b.dll", L"c.dll"}) {
      ASSERT_EQ(installer.AddFile(name, Bytes("new")), kSuccess);
    }
    EXPECT_EQ(installer.Commit(), kReplaceFailed);
    EXPECT_EQ(ReadText(disk.directory() / L"a.dll"), "new");
    EXPECT_EQ(waits, (std::vector<std::uint32_t>{100, 200, 400, 800, 1600, 3200}));
    // The destructor's rollback runs while b.dll is still held.
  }
  holder.Release();
  EXPECT_EQ(disk.Read(), kThreeOld);
}

// Held for reading without delete sharing (as a virus scanner or a reader
// might): the rename falls back to copying the old file to its backup name
// and cannot remove the original. The rollback deletes that stray copy.
// Checked under Wine; Windows applies the same sharing rules to MoveFileExW,
// CopyFileW's read of the source and DeleteFileW.
TEST(WindowsInstall, FileHeldWithoutDeleteSharingLeavesNoTemporaryCopyBehind) {
  RealDisk disk;
  disk.Reset(kThreeOld);
  HeldFile holder(disk.directory() / L"b.dll", FILE_SHARE_READ);
  {
    TransactedFileInstaller installer(disk.file_system(), disk.installation_directory(), 79,
                                      [](std::uint32_t) {});
    ASSERT_EQ(installer.Prepare(), kSuccess);
    for (const wchar_t* name : {L"a.dll", L"b.dll", L"c.dll"}) {
      ASSERT_EQ(installer.AddFile(name, Bytes("new")), kSuccess);
    }
    EXPECT_EQ(installer.Commit(), kReplaceFailed);
    int copies = 0;
    for (const auto& [path, content] : disk.Read()) {
      copies += IsTemporaryFileName(path) && content == "old b";
    }
    EXPECT_EQ(copies, 1) << "expected the copy fallback to have run";
  }
  EXPECT_EQ(disk.Read(), kThreeOld);
}

TEST(WindowsInstall, StagedFileThatCannotBeWrittenStopsWith13Or14) {
  RealDisk disk;
  disk.Reset(kThreeOld);
  const std::uint32_t pid = 31420;
  {
    TransactedFileInstaller installer(disk.file_system(), disk.installation_directory(), pid,
                                      [](std::uint32_t) {});
    ASSERT_EQ(installer.Prepare(), kSuccess);
    ASSERT_EQ(installer.AddFile(L"a.dll", Bytes("new a")), kSuccess);
    // The staged file took counter n and the backup name n+1: the next
    // staged file will be n+2. Another process holds that name already: it
    // is never written through.
    const std::wstring prefix = L"~TMP_" + std::to_wstring(pid) + L"_";
    unsigned long n = 0;
    for (const auto& entry : disk.Read()) {
      if (entry.first.rfind(prefix, 0) == 0) {
        n = std::stoul(entry.first.substr(prefix.size()));
      }
    }
    const fs::path next = disk.directory() / (prefix + std::to_wstring(n + 2) + L"_~");
    WriteText(next, "");
    HeldFile holder(next, 0);
    EXPECT_EQ(installer.AddFile(L"b.dll", Bytes("new b")), kCreateFailed);
    holder.Release();
    fs::remove(next);
  }
  EXPECT_EQ(disk.Read(), kThreeOld);

  // The directory vanished after Prepare: nothing can be created in it.
  TransactedFileInstaller installer(disk.file_system(), disk.installation_directory(), pid,
                                    [](std::uint32_t) {});
  ASSERT_EQ(installer.Prepare(), kSuccess);
  fs::remove_all(disk.directory());
  EXPECT_EQ(installer.AddFile(L"a.dll", Bytes("new a")), kCreateFailed);
}

TEST(WindowsInstall, PrepareRemovesLeftoversOfACrashedRunOfAnotherProcess) {
  RealDisk disk;
  FileTree files = kThreeOld;
  files[L"~TMP_999_0_~"] = "staged by a crashed run";
  files[L"~TMP_999_1_~"] = "backup of a crashed run";
  files[L"~TMP_999_2"] = "not a temporary name";
  files[L"locales\\~TMP_999_3_~"] = "not searched";
  disk.Reset(files);
  TransactedFileInstaller installer(disk.file_system(), disk.installation_directory());
  ASSERT_EQ(installer.Prepare(), kSuccess);
  files.erase(L"~TMP_999_0_~");
  files.erase(L"~TMP_999_1_~");
  EXPECT_EQ(disk.Read(), files);
}

}  // namespace
}  // namespace zevrino::desktop::installer::testing
