// The installer's logic on the in-memory file system: runs natively under
// the sanitizers and under Wine.

#include "files/transacted_file_installer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/install_driver.h"
#include "tests/support/memory_file_system.h"

namespace zevrino::desktop::installer::testing {
namespace {

const std::wstring kDir = L"C:\\Users\\me\\AppData\\Roaming\\Zevrino";

ByteRange Bytes(const std::string& text) {
  return ByteRange{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::vector<std::size_t> IndicesOf(const FaultInjectingFileSystem& fs, Operation operation) {
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < fs.calls().size(); ++i) {
    if (fs.calls()[i].operation == operation) {
      indices.push_back(i);
    }
  }
  return indices;
}

std::function<bool(const Call&)> RenameTo(const std::wstring& destination) {
  return [destination](const Call& call) {
    return call.operation == Operation::kRename && call.second_path == destination;
  };
}

class TransactedFileInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const Scenario upgrade = SmallScenarios()[1];
    disk_.Reset(upgrade.old_files);
    old_files_ = upgrade.old_files;
  }

  std::unique_ptr<TransactedFileInstaller> MakeInstaller(FileSystem& fs, std::uint32_t pid = 7) {
    return std::make_unique<TransactedFileInstaller>(
        fs, kDir, pid, [this](std::uint32_t ms) { waits_.push_back(ms); });
  }

  MemoryDisk disk_;
  FileTree old_files_;
  std::vector<std::uint32_t> waits_;
};

TEST(FaultInjection, EverySingleFaultLeavesTheOldOrTheNewTree) {
  MemoryDisk disk;
  for (const Scenario& scenario : SmallScenarios()) {
    ExpectAllOrNothingUnderEverySingleFault(disk, scenario);
  }
}

TEST(FaultInjection, RollbackNeverLosesAnOldFile) {
  MemoryDisk disk;
  for (const Scenario& scenario : SmallScenarios()) {
    ExpectRollbackUnderEverySingleFault(disk, scenario);
  }
}

TEST_F(TransactedFileInstallerTest, TemporaryNamesCountInCreationOrderInsideTheDirectory) {
  FaultInjectingFileSystem fs(disk_.file_system());
  {
    auto installer = MakeInstaller(fs, 31337);
    ASSERT_EQ(installer->Prepare(), kSuccess);
    ASSERT_EQ(installer->AddFile(L"Zevrino.exe", Bytes("new exe")), kSuccess);
    ASSERT_EQ(installer->AddFile(L"locales/de.pak", Bytes("new de")), kSuccess);
    ASSERT_EQ(installer->ScheduleObsoleteFileRemoval(), kSuccess);
    ASSERT_EQ(installer->Commit(), kSuccess);
  }
  const std::vector<std::size_t> writes = IndicesOf(fs, Operation::kWriteNewFile);
  ASSERT_EQ(writes.size(), 2u);
  const std::wstring prefix = kDir + L"\\~TMP_31337_";
  const std::wstring& first = fs.calls()[writes[0]].path;
  ASSERT_EQ(first.compare(0, prefix.size(), prefix), 0) << first.size();
  const unsigned long n = std::stoul(first.substr(prefix.size()));
  auto name = [&](unsigned long counter) { return prefix + std::to_wstring(counter) + L"_~"; };
  EXPECT_EQ(first, name(n));
  EXPECT_EQ(fs.calls()[writes[1]].path, name(n + 2));

  // Parking the old files: obsolete files first (in path order), then the
  // package's files; each package file's backup takes the counter after its
  // staged name, each obsolete file one counter after the package's.
  std::vector<std::pair<std::wstring, std::wstring>> parked;
  for (std::size_t i : IndicesOf(fs, Operation::kRename)) {
    if (fs.calls()[i].second_path.find(L"~TMP") != std::wstring::npos) {
      parked.emplace_back(fs.calls()[i].path, fs.calls()[i].second_path);
    }
  }
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {kDir + L"\\locales\\extra\\x.pak", name(n + 4)},
      {kDir + L"\\locales\\fr.pak", name(n + 5)},
      {kDir + L"\\Zevrino.exe", name(n + 1)},
      {kDir + L"\\locales\\de.pak", name(n + 3)},
  };
  EXPECT_EQ(parked, expected);
  EXPECT_EQ(disk_.Read(), (FileTree{{L"Zevrino.exe", "new exe"},
                                    {L"common.dll", "old common"},
                                    {L"notes.txt", old_files_.at(L"notes.txt")},
                                    {L"locales\\de.pak", "new de"}}));
}

TEST_F(TransactedFileInstallerTest, CommitWaitsLongerAfterEachPassWithoutProgress) {
  FaultInjectingFileSystem fs(disk_.file_system());
  {
    auto installer = MakeInstaller(fs);
    ASSERT_EQ(installer->Prepare(), kSuccess);
    ASSERT_EQ(installer->AddFile(L"Zevrino.exe", Bytes("new exe")), kSuccess);
    ASSERT_EQ(installer->AddFile(L"common.dll", Bytes("new common")), kSuccess);
    // The old common.dll is locked: it can never be parked.
    const std::wstring common = kDir + L"\\common.dll";
    fs.FailFirstMatching(
        [&](const Call& call) {
          return call.operation == Operation::kRename && call.path == common;
        },
        FaultKind::kLasting);
    EXPECT_EQ(installer->Commit(), kReplaceFailed);
    // The first pass placed Zevrino.exe; then six passes without progress.
    EXPECT_EQ(waits_, (std::vector<std::uint32_t>{100, 200, 400, 800, 1600, 3200}));
    EXPECT_EQ(disk_.Read().at(L"Zevrino.exe"), "new exe");
  }
  EXPECT_EQ(disk_.Read(), old_files_);
}

TEST_F(TransactedFileInstallerTest, EveryPassThatMovesARecordRestartsTheWaits) {
  FaultInjectingFileSystem fs(disk_.file_system());
  auto installer = MakeInstaller(fs);
  ASSERT_EQ(installer->Prepare(), kSuccess);
  for (const wchar_t* name : {L"a.bin", L"b.bin", L"c.bin"}) {
    ASSERT_EQ(installer->AddFile(name, Bytes("x")), kSuccess);
    // Pass 1 fails at placing a.bin; pass 2 places it and fails at b.bin;
    // pass 3 places b.bin and fails at c.bin; pass 4 completes.
    fs.FailFirstMatching(RenameTo(kDir + L"\\" + name), FaultKind::kPassing);
  }
  EXPECT_EQ(installer->Commit(), kSuccess);
  EXPECT_EQ(waits_, (std::vector<std::uint32_t>{200, 100, 100}));
}

TEST_F(TransactedFileInstallerTest, LastRollbackPassKeepsABackupThatCannotBeRestored) {
  FaultInjectingFileSystem fs(disk_.file_system());
  auto installer = MakeInstaller(fs);
  ASSERT_EQ(installer->Prepare(), kSuccess);
  ASSERT_EQ(installer->AddFile(L"Zevrino.exe", Bytes("new exe")), kSuccess);
  ASSERT_EQ(installer->AddFile(L"notes.txt", Bytes("new notes")), kSuccess);
  // Zevrino.exe is placed; the old notes.txt is parked, and the staged one
  // can never be renamed into place.
  const std::wstring notes = kDir + L"\\notes.txt";
  fs.FailFirstMatching(RenameTo(notes), FaultKind::kLasting);
  ASSERT_EQ(installer->Commit(), kReplaceFailed);
  waits_.clear();

  // Rolling back, newest first: the parked notes.txt cannot be renamed back.
  const std::size_t r = fs.calls().size();
  fs.FailFirstMatching(RenameTo(notes), FaultKind::kLasting);
  EXPECT_EQ(installer->Rollback(), kReplaceFailed);
  ASSERT_TRUE(fs.calls().at(r).failed);
  const std::wstring backup = fs.calls()[r].path;
  // The first pass restores Zevrino.exe (progress); six more fail.
  EXPECT_EQ(waits_, (std::vector<std::uint32_t>{100, 200, 400, 800, 1600, 3200}));

  // Even the last pass never deletes the backup: it holds the only copy of
  // the old notes.txt, under its temporary name.
  std::size_t renames_back = 0;
  for (std::size_t i = r; i < fs.calls().size(); ++i) {
    const Call& call = fs.calls()[i];
    renames_back += call.operation == Operation::kRename && call.second_path == notes;
    EXPECT_FALSE((call.operation == Operation::kRemove ||
                  call.operation == Operation::kRemoveOrDelayUntilReboot) &&
                 call.path == backup)
        << "the only copy of the old file was deleted";
  }
  EXPECT_EQ(renames_back, 7u);
  FileTree expected = old_files_;
  expected[backup.substr(kDir.size() + 1)] = expected[L"notes.txt"];
  expected.erase(L"notes.txt");
  EXPECT_EQ(disk_.Read(), expected);

  // Once rolled back, the installer never commits again, and does not wait.
  const std::size_t after = fs.calls().size();
  waits_.clear();
  EXPECT_EQ(installer->Commit(), kCommitAfterRollback);
  EXPECT_EQ(fs.calls().size(), after);
  EXPECT_TRUE(waits_.empty());
}

TEST_F(TransactedFileInstallerTest, DestructionAfterACommitTouchesNothing) {
  FaultInjectingFileSystem fs(disk_.file_system());
  std::size_t after_commit = 0;
  const Scenario upgrade = SmallScenarios()[1];
  const InstallRun run =
      RunInstall(fs, kDir, upgrade.package, 9, [&] { after_commit = fs.calls().size(); });
  EXPECT_EQ(run.result, kSuccess);
  EXPECT_EQ(fs.calls().size(), after_commit);
  EXPECT_EQ(disk_.Read(), upgrade.new_files);
}

TEST_F(TransactedFileInstallerTest, DuplicateEntriesRollBackToTheOldFile) {
  // The same name twice: the second record parks the first one's new file.
  // Undoing newest first brings the original back.
  for (bool fail_commit : {false, true}) {
    disk_.Reset(old_files_);
    FaultInjectingFileSystem fs(disk_.file_system());
    const std::vector<PackageFile> package = {
        {L"common.dll", "first"}, {L"common.dll", "second"}, {L"last.bin", "last"}};
    std::size_t calls = 0;
    if (fail_commit) {
      FaultInjectingFileSystem probe(disk_.file_system());
      RunInstall(probe, kDir, package, 5);
      calls = IndicesOf(probe, Operation::kRename).back();
      disk_.Reset(old_files_);
      fs.FailCall(calls, FaultKind::kLasting);
    }
    const InstallRun run = RunInstall(fs, kDir, package, 5);
    FileTree expected = old_files_;
    if (!fail_commit) {
      expected[L"common.dll"] = "second";
      expected[L"last.bin"] = "last";
      expected.erase(L"locales\\fr.pak");
      expected.erase(L"locales\\extra\\x.pak");
      expected.erase(L"locales\\de.pak");
    }
    EXPECT_EQ(run.result, fail_commit ? kReplaceFailed : kSuccess);
    EXPECT_EQ(disk_.Read(), expected);
  }
}

TEST_F(TransactedFileInstallerTest, PrepareFailsOnlyWhenItCannotSeeTheWholeDirectory) {
  struct Case {
    Operation failing;
    ResultCode expected;
  };
  // Prepare's calls: CreateDirectories, IsRegularFile and ForEachFile of the
  // leftovers' search, IsLink and ForEachFileRecursive of "locales", IsLink
  // of the first file found there.
  const Case cases[] = {
      {Operation::kCreateDirectories, kCreateFailed},
      {Operation::kIsRegularFile, kSuccess},  // leftovers are only a nuisance
      {Operation::kForEachFile, kSuccess},
      // A "locales" that may be a link could lead beyond the installation; a
      // folder or file in it that cannot be looked at only stays.
      {Operation::kIsLink, kCreateFailed},
      {Operation::kForEachFileRecursive, kSuccess},
      {Operation::kIsLink, kSuccess},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(OperationName(c.failing));
    disk_.Reset(old_files_);
    FaultInjectingFileSystem fs(disk_.file_system());
    fs.FailCall(static_cast<std::size_t>(&c - cases), FaultKind::kPassing);
    auto installer = MakeInstaller(fs);
    EXPECT_EQ(installer->Prepare(), c.expected);
    EXPECT_EQ(fs.calls().at(static_cast<std::size_t>(&c - cases)).operation, c.failing);
  }
  // A missing "locales" is a first installation, not a failure: not walked,
  // so no failed walk is logged.
  MemoryDisk empty;
  FaultInjectingFileSystem watched(empty.file_system());
  auto installer = MakeInstaller(watched);
  EXPECT_EQ(installer->Prepare(), kSuccess);
  EXPECT_TRUE(static_cast<MemoryFileSystem&>(empty.file_system()).HasDirectory(kDir));
  for (const Call& call : watched.calls()) {
    EXPECT_NE(call.operation, Operation::kForEachFileRecursive);
  }
}

TEST_F(TransactedFileInstallerTest, DeleteTemporaryFilesClearsLeftoversOfAnyRun) {
  FileTree files = old_files_;
  files[L"~TMP_999_5_~"] = "leftover of another process";
  files[L"~TMP_7_0_~"] = "leftover of this process id";
  files[L"~TMP~"] = "not the form of our names";
  files[L"~TMP draft ~"] = "a user's file";
  files[L"~TMP_1_x_~"] = "not a number";
  files[L"~TMP_999_6"] = "no closing tilde: not ours";
  files[L"x~TMP_1_1_~"] = "does not start with ~TMP: not ours";
  files[L"locales\\~TMP_999_7_~"] = "in a sub-directory: not searched";
  disk_.Reset(files);
  auto installer = MakeInstaller(disk_.file_system());
  installer->DeleteTemporaryFiles();
  files.erase(L"~TMP_999_5_~");
  files.erase(L"~TMP_7_0_~");
  EXPECT_EQ(disk_.Read(), files);

  // A missing directory is not searched (no failed walk).
  MemoryDisk empty;
  FaultInjectingFileSystem fs(empty.file_system());
  MakeInstaller(fs)->DeleteTemporaryFiles();
  EXPECT_TRUE(IndicesOf(fs, Operation::kForEachFile).empty());
}

// Names stay unique within the process across installers: a leftover of
// this process that cannot be removed is never staged over.
TEST_F(TransactedFileInstallerTest, NamesStartAfterThisProcessLeftoversThatStay) {
  FileTree files = old_files_;
  files[L"~TMP_7_4_~"] = "stays";
  files[L"~TMP_7_2_~"] = "stays too";
  files[L"~TMP_8_9_~"] = "another process's, stays";
  disk_.Reset(files);
  FaultInjectingFileSystem fs(disk_.file_system());
  for (const wchar_t* name : {L"~TMP_7_4_~", L"~TMP_7_2_~", L"~TMP_8_9_~"}) {
    const std::wstring path = kDir + L"\\" + name;
    fs.FailFirstMatching(
        [path](const Call& call) {
          return call.operation == Operation::kRemove && call.path == path;
        },
        FaultKind::kLasting);
  }
  auto installer = MakeInstaller(fs);
  ASSERT_EQ(installer->Prepare(), kSuccess);
  ASSERT_EQ(installer->AddFile(L"Zevrino.exe", Bytes("new exe")), kSuccess);
  const std::vector<std::size_t> writes = IndicesOf(fs, Operation::kWriteNewFile);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(fs.calls()[writes[0]].path, kDir + L"\\~TMP_7_5_~");
}

// Links are never written or deleted through: a "locales" that is a link is
// removed itself before anything is staged, or, where that cannot be done,
// the run stops with nothing changed.
TEST_F(TransactedFileInstallerTest, LinksAreRemovedThemselvesOrStopTheRun) {
  const Scenario upgrade = SmallScenarios()[1];
  FileTree without_locales = old_files_;
  for (auto it = without_locales.begin(); it != without_locales.end();) {
    it = it->first.rfind(L"locales\\", 0) == 0 ? without_locales.erase(it) : std::next(it);
  }
  auto& memory = static_cast<MemoryFileSystem&>(disk_.file_system());
  for (const bool removable : {true, false}) {
    SCOPED_TRACE(removable ? "removable" : "not removable");
    disk_.Reset(without_locales);
    memory.PutLink(kDir + L"\\locales");
    FaultInjectingFileSystem fs(memory);
    if (!removable) {
      fs.FailFirstMatching([](const Call& c) { return c.operation == Operation::kRemoveLink; },
                           FaultKind::kLasting);
    }
    const InstallRun run = RunInstall(fs, kDir, upgrade.package, 3);
    EXPECT_EQ(run.result, removable ? kSuccess : kCreateFailed);
    EXPECT_EQ(memory.Links().empty(), removable);
    EXPECT_EQ(disk_.Read(), removable ? upgrade.new_files : without_locales);
  }

  // Links that appear after Prepare: at a name the commit writes, at a
  // folder it writes into and at a name the caller deletes afterwards. Each
  // goes before the first change, or the commit does not start.
  for (const wchar_t* at : {L"README.txt", L"locales", L"Zevrino_new.exe"}) {
    for (const bool removable : {true, false}) {
      SCOPED_TRACE(std::wstring(at) + (removable ? L" removable" : L" not removable"));
      disk_.Reset(without_locales);
      FaultInjectingFileSystem fs(memory);
      if (!removable) {
        fs.FailFirstMatching([](const Call& c) { return c.operation == Operation::kRemoveLink; },
                             FaultKind::kLasting);
      }
      auto installer = MakeInstaller(fs);
      ASSERT_EQ(installer->Prepare(), kSuccess);
      installer->GuardName(L"Zevrino_new.exe");
      ASSERT_EQ(installer->AddFile(L"locales/de.pak", Bytes("new de")), kSuccess);
      ASSERT_EQ(installer->AddFile(L"README.txt", Bytes("new readme")), kSuccess);
      memory.PutLink(kDir + L"\\" + at);
      EXPECT_EQ(installer->Commit(), removable ? kSuccess : kCreateFailed);
      installer.reset();
      EXPECT_EQ(memory.Links().empty(), removable);
      FileTree expected = without_locales;
      if (removable) {
        expected[L"locales\\de.pak"] = "new de";
        expected[L"README.txt"] = "new readme";
      }
      EXPECT_EQ(disk_.Read(), expected);
    }
  }
}

TEST_F(TransactedFileInstallerTest, AddFileRefusesNamesThatLeaveTheDirectoryAndReportsWrites) {
  FaultInjectingFileSystem fs(disk_.file_system());
  auto installer = MakeInstaller(fs);
  ASSERT_EQ(installer->Prepare(), kSuccess);
  for (const wchar_t* name : {L"", L"..\\evil.dll", L"a/../../evil.dll", L"/abs.dll",
                              L"\\\\server\\share\\x", L"C:\\Windows\\x.dll", L"C:x.dll", L"a//b",
                              L"a/", L"./a", L"a/.../b", L"file.txt:stream"}) {
    SCOPED_TRACE(std::string(name, name + std::wcslen(name)));
    EXPECT_EQ(installer->AddFile(name, Bytes("x")), kArchiveEntryMalformed);
  }
  EXPECT_TRUE(IndicesOf(fs, Operation::kWriteNewFile).empty());
  EXPECT_EQ(installer->AddFile(L"sub dir/..name..ok", Bytes("x")), kSuccess);

  // The write's own code comes back: the temporary file is held by someone
  // else (14), the directory is missing (13).
  fs.FailCall(fs.calls().size(), FaultKind::kPassing);
  EXPECT_EQ(installer->AddFile(L"b.bin", Bytes("x")), kFileInUse);
  MemoryDisk missing;
  EXPECT_EQ(MakeInstaller(missing.file_system())->AddFile(L"c.bin", Bytes("x")), kCreateFailed);
}

TEST(PathElementLess, SeparatorsAndRunsDoNotMatterCaseDoes) {
  const PathElementLess less;
  auto equivalent = [&](const std::wstring& a, const std::wstring& b) {
    return !less(a, b) && !less(b, a);
  };
  EXPECT_TRUE(equivalent(L"C:\\a\\b.pak", L"C:/a/b.pak"));
  EXPECT_TRUE(equivalent(L"C:\\a\\\\b.pak", L"C:\\a/\\/b.pak"));
  EXPECT_FALSE(equivalent(L"C:\\a\\B.pak", L"C:\\a\\b.pak"));
  // Element by element: "a" sorts before "a-b" even though '-' < '\'.
  EXPECT_TRUE(less(L"x\\a\\z", L"x\\a-b"));
  EXPECT_TRUE(less(L"x\\a", L"x\\a\\b"));
  EXPECT_FALSE(less(L"x\\a\\b", L"x\\a"));

  std::set<std::wstring, PathElementLess> set = {L"C:\\l\\b", L"C:/l/a", L"C:\\l\\\\a"};
  EXPECT_EQ(set.size(), 2u);
  EXPECT_EQ(set.erase(L"C:/l//b"), 1u);
}

}  // namespace
}  // namespace zevrino::desktop::installer::testing
