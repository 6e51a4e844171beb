#pragma once
// Drives a whole installation the way the archive installer does (Prepare,
// AddFile per entry, ScheduleObsoleteFileRemoval, Commit, destruction), and
// checks the all-or-nothing promise under a fault injected at every file
// system call in turn. The disk is abstract so that the same checks run on
// the in-memory file system (both builds) and on real files under Wine.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "files/file_system.h"
#include "tests/support/memory_file_system.h"

namespace zevrino::desktop::installer::testing {

struct PackageFile {
  std::wstring name;  // relative, "/" between elements as in the archive
  std::string content;
};

// Trees are relative to the installation directory, with backslashes.
// Directory sets hold "." for the installation directory itself.
using DirectorySet = std::set<std::wstring>;

// "." and every directory that holds a file of `files`; empty for no files.
DirectorySet DirectoriesOf(const FileTree& files);

struct Scenario {
  std::string name;
  FileTree old_files;  // empty: the installation directory does not exist
  std::vector<PackageFile> package;
  FileTree new_files;
};

// A first installation and an upgrade that replaces, adds, keeps a file
// outside "locales" and removes obsolete files under it.
std::vector<Scenario> SmallScenarios();

class TestDisk {
 public:
  virtual ~TestDisk() = default;
  // Makes the installation directory hold exactly `files`; with no files it
  // does not exist at all.
  virtual void Reset(const FileTree& files) = 0;
  virtual FileSystem& file_system() = 0;
  virtual FileTree Read() = 0;
  // The installation directory (".") and the directories below it.
  virtual DirectorySet ReadDirectories() = 0;
  virtual std::wstring installation_directory() = 0;
};

class MemoryDisk final : public TestDisk {
 public:
  void Reset(const FileTree& files) override;
  FileSystem& file_system() override { return memory_; }
  MemoryFileSystem& memory() { return memory_; }
  FileTree Read() override;
  DirectorySet ReadDirectories() override;
  std::wstring installation_directory() override {
    return L"C:\\Users\\me\\AppData\\Roaming\\Zevrino";
  }

 private:
  MemoryFileSystem memory_;
};

struct InstallRun {
  ResultCode result = kSuccess;
  std::vector<std::uint32_t> waits;
};

// `before_destruction` runs after the last step, before the installer's
// destructor rolls back what was not committed.
InstallRun RunInstall(FileSystem& file_system, const std::wstring& installation_directory,
                      const std::vector<PackageFile>& package, std::uint32_t process_id,
                      const std::function<void()>& before_destruction = {});

bool IsTemporaryFileName(const std::wstring& relative_path);

// For every call of a clean installation, in turn, and for both passing and
// lasting faults: the run ends with the old tree (non-zero result) or the new
// tree (0), byte for byte, with no temporary file left, and with the old
// directories or the new ones (the old plus those the new files need).
void ExpectAllOrNothingUnderEverySingleFault(TestDisk& disk, const Scenario& scenario);

// A commit made to fail by a lasting fault, then a passing or a lasting
// fault at every call of the rollback in turn. A passing fault brings the old
// tree back each time; a lasting one never loses an old file: it is back in
// place, or, when it cannot be renamed back, kept whole under its backup
// name.
void ExpectRollbackUnderEverySingleFault(TestDisk& disk, const Scenario& scenario);

}  // namespace zevrino::desktop::installer::testing
