#pragma once
// TransactedFileInstaller: replaces the application's files in the
// installation directory as one unit.
//
//   Prepare                      create the directory, clear leftovers of
//                                earlier runs, note the files under "locales"
//   AddFile (per package file)   stage the new content under a temporary name
//   ScheduleObsoleteFileRemoval  plan the removal of "locales" files that the
//                                package no longer has
//   Commit                       park old files under temporary names, rename
//                                the staged files into place, delete the
//                                parked files; retried with growing waits
//   ~TransactedFileInstaller     Rollback: undo whatever was not committed,
//                                down to the directories it created
//
// Every temporary file lives directly in the installation directory and is
// named "~TMP_<process id>_<counter>_~", so that a later run can recognise and
// delete leftovers of a run that crashed, whatever its process id.
//
// Nothing here calls the operating system directly: all disk access goes
// through the FileSystem given at construction (not owned, must outlive the
// installer), waits go through the sleep function, and the process id is a
// constructor argument. One thread uses an installer from construction to
// destruction.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "files/file_system.h"

namespace zevrino::desktop::installer {

enum class FileOperationState : std::int32_t {
  Pending = 0,   // destination untouched, or restored by a rollback
  BackedUp = 1,  // old destination parked at `backup`; new file not yet in place
  Placed = 2,    // new file at the destination (a removal: old file parked)
  Finished = 3,  // backup deleted after the commit, or the record rolled back
};

// One planned change of one destination file.
struct FileOperation {
  std::wstring destination;
  // The temporary file holding the new content; absent for a removal.
  std::optional<std::wstring> staged;
  // Where the old destination is parked during the transaction. Emptied when
  // the record is placed without there having been an old file.
  std::wstring backup;
  FileOperationState state = FileOperationState::Pending;
};

// Orders paths element by element: "\" and "/" are equivalent, runs of
// separators count as one, comparison is case-sensitive.
struct PathElementLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const;
};

class TransactedFileInstaller {
 public:
  using SleepFunction = std::function<void(std::uint32_t milliseconds)>;

  // Uses the current process id and the system's sleep.
  TransactedFileInstaller(FileSystem& file_system, std::wstring installation_directory);
  TransactedFileInstaller(FileSystem& file_system, std::wstring installation_directory,
                          std::uint32_t process_id, SleepFunction sleep);
  // Rolls back everything that was not committed; the result is ignored.
  ~TransactedFileInstaller();

  TransactedFileInstaller(const TransactedFileInstaller&) = delete;
  TransactedFileInstaller& operator=(const TransactedFileInstaller&) = delete;

  // 0, or 13 when the installation directory cannot be created, "locales"
  // cannot be looked at, or a link there cannot be removed apart from what
  // it leads to.
  ResultCode Prepare();

  // Deletes every file directly in the installation directory whose name has
  // the form of this installer's temporary names, "~TMP_<n>_<n>_~" (a link
  // under such a name is removed itself); files that cannot be deleted
  // stay.
  void DeleteTemporaryFiles();

  // Stages `content` as the new file `relative_name` (either separator). The
  // content is written in one write and need only stay valid during the call.
  // 0; 12, 13 or 14 from the write; 8 for a name that would leave the
  // installation directory.
  ResultCode AddFile(const std::wstring& relative_name, ByteRange content);

  // Plans the removal of the files found under "locales" by Prepare that no
  // AddFile has provided. Always 0.
  ResultCode ScheduleObsoleteFileRemoval();

  // `relative_name` (backslashes) is a name the caller deletes once the
  // commit is done: the commit clears it of a link as it does its own names.
  void GuardName(const std::wstring& relative_name);

  // 0, or the last failure once the passes stop making progress: 13, 18, or
  // 27 after a rollback has run. Before the first change, a link at any
  // name the commit renames from or to, at a folder it writes into or at a
  // guarded name is removed itself; 13 with nothing changed where one
  // cannot be.
  ResultCode Commit();

  // 0, or the last failure once the passes stop making progress: 14 or 18.
  ResultCode Rollback();

  // Commit normally deletes the old files it parked before it returns. After
  // this call it leaves them under their temporary names instead and lists
  // them in ParkedFiles, so that the caller can delete them once the part of
  // the run that someone waits for is over (DeleteParkedFiles). The commit is
  // complete either way: the new files are in place and a rollback no longer
  // touches them; parked files nobody deletes go with the next Prepare.
  void DeferBackupDeletion() { defer_backup_deletion_ = true; }
  const std::vector<std::wstring>& ParkedFiles() const { return parked_files_; }

  // The bytes of every file staged so far: what the installation's files
  // take once committed.
  std::uint64_t StagedBytes() const { return staged_bytes_; }

 private:
  std::wstring MakeTemporaryPath();
  ResultCode NoteObsoleteLocaleFiles();
  ResultCode RemoveLinksAtCommitNames();
  ResultCode CommitPass(bool& progress);
  ResultCode RollbackPass(bool force, bool& progress);
  void DeleteBackups();
  void ParkBackups();
  bool DiscardTemporaryFile(const std::wstring& path);
  bool DestinationExists(const std::wstring& path, bool& exists);
  bool MakeParentDirectories(const std::wstring& destination,
                             std::set<std::wstring>& directories_made);
  void RemoveCreatedDirectories();

  FileSystem& file_system_;
  const std::wstring installation_directory_;
  const std::uint32_t process_id_;
  // The number of the next temporary name. Names are unique within the
  // process: they carry its id, and start after any of its names that
  // Prepare found and could not remove.
  std::uint32_t next_temporary_number_ = 0;
  const SleepFunction sleep_;
  bool rollback_started_ = false;
  std::vector<FileOperation> operations_;
  std::set<std::wstring, PathElementLess> obsolete_files_;
  // Directories this installer created, in order; a rollback removes them.
  std::vector<std::wstring> created_directories_;
  bool defer_backup_deletion_ = false;
  std::vector<std::wstring> guarded_names_;
  std::vector<std::wstring> parked_files_;  // old files a deferring commit left
  std::uint64_t staged_bytes_ = 0;
};

}  // namespace zevrino::desktop::installer
