#include "tests/support/install_driver.h"

#include <gtest/gtest.h>

#include "files/transacted_file_installer.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer::testing {
namespace {

constexpr std::uint32_t kProcessId = 4242;

// `path` relative to `directory` ("." for the directory itself) when it lies
// below it, else normalised whole.
std::wstring Relative(const std::wstring& directory, const std::wstring& path) {
  const std::wstring base = MemoryFileSystem::Normalise(directory) + L"\\";
  const std::wstring key = MemoryFileSystem::Normalise(path);
  if (key + L"\\" == base) {
    return L".";
  }
  return key.compare(0, base.size(), base) == 0 ? key.substr(base.size()) : key;
}

std::string Describe(const Call& call, FaultKind kind, std::size_t index) {
  return std::string(kind == FaultKind::kLasting ? "lasting" : "passing") + " fault at call " +
         std::to_string(index) + ": " + OperationName(call.operation) + "(" + ToUtf8(call.path) +
         (call.second_path.empty() ? "" : ", " + ToUtf8(call.second_path)) + ")";
}

}  // namespace

std::vector<Scenario> SmallScenarios() {
  Scenario first;
  first.name = "first installation";
  first.package = {{L"locales/en.pak", "en strings"},
                   {L"resources/deep/a.bin", "resource a"},
                   {L"Zevrino.exe", "new exe"}};
  for (const PackageFile& file : first.package) {
    first.new_files[MemoryFileSystem::Normalise(file.name)] = file.content;
  }

  Scenario upgrade;
  upgrade.name = "upgrade";
  upgrade.old_files = {{L"Zevrino.exe", "old exe"},
                       {L"common.dll", "old common"},
                       {L"notes.txt", "not in the package, outside locales: kept"},
                       {L"locales\\de.pak", "old de"},
                       {L"locales\\fr.pak", "old fr, obsolete"},
                       {L"locales\\extra\\x.pak", "old x, obsolete"}};
  upgrade.package = {{L"locales/de.pak", "new de"},
                     {L"locales/it.pak", "new it"},
                     {L"resources/icons/app.ico", "new icon"},
                     {L"common.dll", "new common"},
                     {L"Zevrino.exe", "new exe"},
                     {L"empty.dat", ""}};
  upgrade.new_files = {{L"notes.txt", "not in the package, outside locales: kept"}};
  for (const PackageFile& file : upgrade.package) {
    upgrade.new_files[MemoryFileSystem::Normalise(file.name)] = file.content;
  }
  return {first, upgrade};
}

DirectorySet DirectoriesOf(const FileTree& files) {
  DirectorySet directories;
  if (!files.empty()) {
    directories.insert(L".");
  }
  for (const auto& entry : files) {
    for (std::size_t separator = entry.first.find(L'\\'); separator != std::wstring::npos;
         separator = entry.first.find(L'\\', separator + 1)) {
      directories.insert(entry.first.substr(0, separator));
    }
  }
  return directories;
}

void MemoryDisk::Reset(const FileTree& files) {
  memory_ = MemoryFileSystem();
  for (const auto& [path, content] : files) {
    memory_.PutFile(installation_directory() + L"\\" + path, content);
  }
}

FileTree MemoryDisk::Read() {
  FileTree relative;
  for (const auto& [path, content] : memory_.Files()) {
    relative[Relative(installation_directory(), path)] = content;
  }
  return relative;
}

DirectorySet MemoryDisk::ReadDirectories() {
  const std::wstring root = MemoryFileSystem::Normalise(installation_directory());
  DirectorySet relative;
  for (const std::wstring& directory : memory_.Directories()) {
    if (directory == root) {
      relative.insert(L".");
    } else if (directory.compare(0, root.size() + 1, root + L"\\") == 0) {
      relative.insert(directory.substr(root.size() + 1));
    }
  }
  return relative;
}

InstallRun RunInstall(FileSystem& file_system, const std::wstring& installation_directory,
                      const std::vector<PackageFile>& package, std::uint32_t process_id,
                      const std::function<void()>& before_destruction) {
  InstallRun run;
  {
    TransactedFileInstaller installer(file_system, installation_directory, process_id,
                                      [&run](std::uint32_t ms) { run.waits.push_back(ms); });
    run.result = installer.Prepare();
    for (const PackageFile& file : package) {
      if (run.result != kSuccess) {
        break;
      }
      run.result = installer.AddFile(
          file.name, ByteRange{reinterpret_cast<const std::uint8_t*>(file.content.data()),
                               file.content.size()});
    }
    if (run.result == kSuccess) {
      run.result = installer.ScheduleObsoleteFileRemoval();
    }
    if (run.result == kSuccess) {
      run.result = installer.Commit();
    }
    if (before_destruction) {
      before_destruction();
    }
  }
  return run;
}

bool IsTemporaryFileName(const std::wstring& relative_path) {
  const std::size_t separator = relative_path.find_last_of(L"\\/");
  const std::wstring name =
      separator == std::wstring::npos ? relative_path : relative_path.substr(separator + 1);
  return name.rfind(L"~TMP", 0) == 0 && !name.empty() && name.back() == L'~';
}

void ExpectAllOrNothingUnderEverySingleFault(TestDisk& disk, const Scenario& scenario) {
  SCOPED_TRACE(scenario.name);
  const std::wstring directory = disk.installation_directory();

  disk.Reset(scenario.old_files);
  FaultInjectingFileSystem counting(disk.file_system());
  ASSERT_EQ(RunInstall(counting, directory, scenario.package, kProcessId).result, kSuccess);
  ASSERT_EQ(disk.Read(), scenario.new_files);
  const std::size_t total = counting.calls().size();
  ASSERT_GT(total, scenario.package.size() * 2);
  const DirectorySet old_directories = DirectoriesOf(scenario.old_files);
  DirectorySet new_directories = DirectoriesOf(scenario.new_files);
  new_directories.insert(old_directories.begin(), old_directories.end());
  ASSERT_EQ(disk.ReadDirectories(), new_directories);

  for (std::size_t index = 0; index < total; ++index) {
    for (FaultKind kind : {FaultKind::kPassing, FaultKind::kLasting}) {
      disk.Reset(scenario.old_files);
      FaultInjectingFileSystem faulty(disk.file_system());
      faulty.FailCall(index, kind);
      const InstallRun run = RunInstall(faulty, directory, scenario.package, kProcessId);
      ASSERT_GT(faulty.calls().size(), index);
      const Call& injected = faulty.calls()[index];
      SCOPED_TRACE(Describe(injected, kind, index) + ", result " +
                   std::to_string(ResultNumber(run.result)));

      FileTree tree = disk.Read();
      const std::wstring target = Relative(directory, injected.path);
      const bool undeletable_temporary =
          kind == FaultKind::kLasting && IsTemporaryFileName(target) &&
          (injected.operation == Operation::kRemove ||
           injected.operation == Operation::kRemoveOrDelayUntilReboot);
      if (undeletable_temporary && tree.erase(target) != 0) {
        // A temporary file that cannot be deleted can only stay; the next
        // run, no longer hindered, clears it.
        TransactedFileInstaller next(disk.file_system(), directory, kProcessId + 1,
                                     [](std::uint32_t) {});
        EXPECT_EQ(next.Prepare(), kSuccess);
        EXPECT_EQ(disk.Read().count(target), 0u);
      }
      FileTree expected = run.result == kSuccess ? scenario.new_files : scenario.old_files;
      const bool locales_unseen =
          injected.operation == Operation::kForEachFileRecursive ||
          (injected.operation == Operation::kIsLink && target.rfind(L"locales\\", 0) == 0);
      if (run.result == kSuccess && locales_unseen) {
        // A file under "locales" that could not be looked at stays as it was:
        // obsolete perhaps, never lost.
        for (const auto& [name, content] : scenario.old_files) {
          if (name.rfind(L"locales\\", 0) == 0 && tree.count(name) != 0) {
            expected.emplace(name, content);
          }
        }
      }
      EXPECT_EQ(tree, expected);
      EXPECT_EQ(disk.ReadDirectories(), run.result == kSuccess ? new_directories : old_directories);
    }
  }
}

void ExpectRollbackUnderEverySingleFault(TestDisk& disk, const Scenario& scenario) {
  SCOPED_TRACE(scenario.name);
  const std::wstring directory = disk.installation_directory();

  disk.Reset(scenario.old_files);
  FaultInjectingFileSystem counting(disk.file_system());
  ASSERT_EQ(RunInstall(counting, directory, scenario.package, kProcessId).result, kSuccess);
  // The last rename of the commit puts the last staged file in place; making
  // it fail for good leaves every other record placed for the rollback.
  std::size_t last_rename = counting.calls().size();
  for (std::size_t index = 0; index < counting.calls().size(); ++index) {
    if (counting.calls()[index].operation == Operation::kRename) {
      last_rename = index;
    }
  }
  ASSERT_LT(last_rename, counting.calls().size());

  disk.Reset(scenario.old_files);
  FaultInjectingFileSystem locked(disk.file_system());
  locked.FailCall(last_rename, FaultKind::kLasting);
  std::size_t rollback_start = 0;
  const InstallRun failed = RunInstall(locked, directory, scenario.package, kProcessId,
                                       [&] { rollback_start = locked.calls().size(); });
  ASSERT_EQ(failed.result, kReplaceFailed);
  ASSERT_EQ(disk.Read(), scenario.old_files);
  const std::size_t total = locked.calls().size();
  ASSERT_GT(total, rollback_start);

  for (std::size_t index = rollback_start; index < total; ++index) {
    for (FaultKind kind : {FaultKind::kPassing, FaultKind::kLasting}) {
      disk.Reset(scenario.old_files);
      FaultInjectingFileSystem faulty(disk.file_system());
      faulty.FailCall(last_rename, FaultKind::kLasting);
      faulty.FailCall(index, kind);
      const InstallRun run = RunInstall(faulty, directory, scenario.package, kProcessId);
      ASSERT_GT(faulty.calls().size(), index);
      const Call& injected = faulty.calls()[index];
      SCOPED_TRACE(Describe(injected, kind, index) + ", result " +
                   std::to_string(ResultNumber(run.result)));
      EXPECT_NE(run.result, kSuccess);
      FileTree tree = disk.Read();
      if (kind == FaultKind::kLasting) {
        // What a lasting fault may leave besides the old tree, and nothing
        // else: a temporary file that cannot be deleted (the next run clears
        // it); a new file without an old one that cannot be removed; an old
        // file that cannot be renamed back, kept whole under its backup name
        // (result 18, the name in the log) instead of being deleted.
        const std::wstring source = Relative(directory, injected.path);
        const std::wstring target = Relative(directory, injected.second_path);
        const bool removal = injected.operation == Operation::kRemove ||
                             injected.operation == Operation::kRemoveOrDelayUntilReboot;
        if (removal && IsTemporaryFileName(source)) {
          tree.erase(source);
        } else if (removal && scenario.old_files.count(source) == 0) {
          tree.erase(source);
        } else if (injected.operation == Operation::kRename && IsTemporaryFileName(source) &&
                   scenario.old_files.count(target) != 0) {
          EXPECT_EQ(run.result, kReplaceFailed);
          const auto kept = tree.find(source);
          ASSERT_NE(kept, tree.end()) << "the only copy of the old file was deleted";
          EXPECT_EQ(kept->second, scenario.old_files.at(target));
          EXPECT_EQ(tree.count(target), 0u);
          tree[target] = kept->second;
          tree.erase(kept);
        }
        EXPECT_EQ(tree, scenario.old_files);
        continue;
      }
      EXPECT_EQ(run.result, kReplaceFailed);
      EXPECT_EQ(tree, scenario.old_files);
      // Taking away a directory that the commit created is not retried: when
      // that fails, the empty directory stays.
      const DirectorySet directories = disk.ReadDirectories();
      if (injected.operation != Operation::kRemove ||
          directories.count(Relative(directory, injected.path)) == 0) {
        EXPECT_EQ(directories, DirectoriesOf(scenario.old_files));
      }
    }
  }
}

}  // namespace zevrino::desktop::installer::testing
