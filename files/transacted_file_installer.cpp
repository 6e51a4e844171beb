#include "files/transacted_file_installer.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/wide_path.h"
#include "files/link_guard.h"
#include "files/log_lines.h"
#include "logging/log.h"

namespace zevrino::desktop::installer {
namespace {

// A pass that fails is followed by a wait of kFirstWaitMs << (failures in a
// row); the sixth failure in a row without progress ends the loop.
constexpr int kMaxFailuresInARow = 5;
constexpr std::uint32_t kFirstWaitMs = 100;

using State = FileOperationState;

// The last path element (after the last separator).
std::wstring LastElement(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// The path without its last element and the separator before it.
std::wstring ParentOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// True for a name of the form MakeTemporaryPath gives, "~TMP_<digits>_<digits>_~",
// and nothing else: a user's "~TMP draft ~" is not ours to delete.
bool IsTemporaryName(const std::wstring& name) {
  constexpr wchar_t kPrefix[] = L"~TMP_";
  constexpr std::size_t kPrefixLength = sizeof kPrefix / sizeof kPrefix[0] - 1;
  if (name.compare(0, kPrefixLength, kPrefix) != 0 || name.size() < kPrefixLength + 2 ||
      name.compare(name.size() - 2, 2, L"_~") != 0) {
    return false;
  }
  int numbers = 0;
  bool in_number = false;
  for (std::size_t i = kPrefixLength; i + 1 < name.size(); ++i) {
    const wchar_t c = name[i];
    if (c >= L'0' && c <= L'9') {
      numbers += in_number ? 0 : 1;
      in_number = true;
    } else if (c == L'_' && in_number) {
      in_number = false;
    } else {
      return false;
    }
  }
  return numbers == 2 && !in_number;
}

// The counter of `name`, a name that IsTemporaryName accepts, when process
// `process_id` made it; UINT32_MAX for another process's (or too large).
std::uint32_t OwnTemporaryNumber(const std::wstring& name, std::uint32_t process_id) {
  std::uint64_t numbers[2] = {0, 0};  // the process id, the counter
  std::size_t which = 0;
  for (std::size_t i = sizeof "~TMP_" - 1; which < 2 && i + 2 < name.size(); ++i) {
    if (name[i] == L'_') {
      ++which;
    } else {
      numbers[which] = std::min<std::uint64_t>(numbers[which] * 10 + (name[i] - L'0'), UINT32_MAX);
    }
  }
  return numbers[0] == process_id ? static_cast<std::uint32_t>(numbers[1]) : UINT32_MAX;
}

// A relative name that stays inside the installation directory: no root or
// drive (no ':' at all, which also rules out alternate data streams), no
// empty, "." or ".." element (nor one of dots only, which Windows trims to
// one of those), no control characters.
bool IsSafeRelativeName(const std::wstring& name) {
  if (name.empty()) {
    return false;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsWideSeparator(name[end])) {
      ++end;
    }
    bool only_dots = true;
    for (std::size_t i = start; i < end; ++i) {
      const wchar_t c = name[i];
      if (c == L':' || static_cast<std::uint32_t>(c) < 0x20) {
        return false;
      }
      only_dots = only_dots && (c == L'.' || c == L' ');
    }
    if (only_dots) {  // also the empty element
      return false;
    }
    start = end + 1;
  }
  return true;
}

std::wstring WithBackslashes(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return path;
}

// Runs `pass(last_chance, progress)` until it returns 0. Each failure is
// logged and followed by a wait of 100 ms shifted left by the failures in a
// row; a pass that changed any record resets that count, unless it was the
// sixth, which ends the loop with its result. `last_chance` is set on that
// sixth pass in a row without progress.
template <typename Pass>
ResultCode RunPasses(const TransactedFileInstaller::SleepFunction& sleep, int failure_line,
                     const char* failure_format, Pass&& pass) {
  int failures = 0;
  for (;;) {
    bool progress = false;
    const ResultCode result = pass(failures == kMaxFailuresInARow, progress);
    if (result == kSuccess) {
      return kSuccess;
    }
    logging::log_message(logging::kLevelError, "", failure_line, failure_format,
                         ResultNumber(result));
    if (++failures > kMaxFailuresInARow) {
      return result;
    }
    if (progress) {
      failures = 0;
    }
    sleep(kFirstWaitMs << failures);
  }
}

}  // namespace

bool PathElementLess::operator()(const std::wstring& a, const std::wstring& b) const {
  // Comparing characters with every run of separators mapped to one key below
  // all characters is the same as comparing element by element.
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    if (i == a.size() || j == b.size()) {
      return i == a.size() && j != b.size();
    }
    const bool a_separator = IsWideSeparator(a[i]);
    const bool b_separator = IsWideSeparator(b[j]);
    const std::uint64_t a_key = a_separator ? 0 : static_cast<std::uint64_t>(a[i]) + 1;
    const std::uint64_t b_key = b_separator ? 0 : static_cast<std::uint64_t>(b[j]) + 1;
    if (a_key != b_key) {
      return a_key < b_key;
    }
    if (a_separator) {
      while (i < a.size() && IsWideSeparator(a[i])) {
        ++i;
      }
      while (j < b.size() && IsWideSeparator(b[j])) {
        ++j;
      }
    } else {
      ++i;
      ++j;
    }
  }
}

TransactedFileInstaller::TransactedFileInstaller(FileSystem& file_system,
                                                 std::wstring installation_directory,
                                                 std::uint32_t process_id, SleepFunction sleep)
    : file_system_(file_system),
      installation_directory_(std::move(installation_directory)),
      process_id_(process_id),
      sleep_(std::move(sleep)) {}

TransactedFileInstaller::~TransactedFileInstaller() {
  Rollback();
}

ResultCode TransactedFileInstaller::Prepare() {
  ErrorCode error;
  if (file_system_.CreateDirectories(installation_directory_, error)) {
    created_directories_.push_back(installation_directory_);
  }
  if (error) {
    return kCreateFailed;
  }
  DeleteTemporaryFiles();
  return NoteObsoleteLocaleFiles();
}

// Every file under "locales" is obsolete unless the package provides it. A
// missing directory (first installation) leaves nothing to remove and is
// not walked, so that no failed walk is logged for it. A folder in it that
// cannot be listed is skipped (the walk logs it): its files stay, which
// costs some disk space, while refusing would lock the user out of every
// update of this installation.
// Links are not the installation's own files: a "locales" that is a link,
// and links inside it, are removed themselves, and what they lead to is
// never walked, parked or deleted. Where a link cannot be removed apart
// from its target, the run stops with 13 and nothing changed.
ResultCode TransactedFileInstaller::NoteObsoleteLocaleFiles() {
  const std::wstring locales = JoinWidePath(installation_directory_, L"locales");
  ErrorCode error;
  const bool locales_is_link = file_system_.IsLink(locales, error);
  if (IsNotFound(error)) {
    return kSuccess;
  }
  if (error) {
    return kCreateFailed;
  }
  if (locales_is_link) {
    return RemoveLinkAt(file_system_, locales);
  }
  std::vector<std::wstring> found;
  file_system_.ForEachFileRecursive(
      locales, [&found](const std::wstring& path) { found.push_back(path); }, error);
  for (const std::wstring& path : found) {
    const bool is_link = file_system_.IsLink(path, error);
    if (!is_link && !error) {
      obsolete_files_.insert(path);
    } else if (is_link && RemoveLinkAt(file_system_, path) != kSuccess) {
      obsolete_files_.clear();
      return kCreateFailed;
    }
  }
  return kSuccess;
}

// Before the commit changes anything: no name it renames from or to, no
// folder it writes into below the installation directory and no name the
// caller deletes afterwards may be a link. One that is goes itself; where
// it cannot, the commit does not start.
ResultCode TransactedFileInstaller::RemoveLinksAtCommitNames() {
  std::set<std::wstring, PathElementLess> folders;
  std::vector<const std::wstring*> names;
  for (const FileOperation& op : operations_) {
    if (op.state != State::Pending) {
      continue;
    }
    names.push_back(&op.destination);
    names.push_back(&op.backup);
    for (std::wstring& folder : DirectoryPrefixes(ParentOf(op.destination))) {
      if (folder.size() > installation_directory_.size()) {
        folders.insert(std::move(folder));
      }
    }
  }
  for (const std::wstring& name : guarded_names_) {
    names.push_back(&name);
  }
  // Folders first, parents before children: once a linked folder is gone,
  // nothing below it is there to look at.
  for (const std::wstring& folder : folders) {
    if (RemoveLinkAt(file_system_, folder) != kSuccess) {
      return kCreateFailed;
    }
  }
  for (const std::wstring* name : names) {
    if (RemoveLinkAt(file_system_, *name) != kSuccess) {
      return kCreateFailed;
    }
  }
  return kSuccess;
}

void TransactedFileInstaller::GuardName(const std::wstring& relative_name) {
  guarded_names_.push_back(JoinWidePath(installation_directory_, relative_name));
}

void TransactedFileInstaller::DeleteTemporaryFiles() {
  ErrorCode error;
  const bool is_file = file_system_.IsRegularFile(installation_directory_, error);
  if (is_file || error) {
    return;  // only an existing directory is searched
  }
  file_system_.ForEachFile(
      installation_directory_,
      [this](const std::wstring& path) {
        if (!IsTemporaryName(LastElement(path))) {
          return;
        }
        // A link under such a name goes itself, or stays.
        ErrorCode failed;
        if (file_system_.IsLink(path, failed)) {
          file_system_.RemoveLink(path, failed);
        } else if (!failed) {
          file_system_.Remove(path, failed);
        }
        // An earlier installer of this process left a name that stays: the
        // names made here start after it, so that none is taken.
        if (failed) {
          const std::uint32_t number = OwnTemporaryNumber(LastElement(path), process_id_);
          if (number != UINT32_MAX && number >= next_temporary_number_) {
            next_temporary_number_ = number + 1;
          }
        }
      },
      error);
}

ResultCode TransactedFileInstaller::AddFile(const std::wstring& relative_name, ByteRange content) {
  if (!IsSafeRelativeName(relative_name)) {
    logging::log_message(logging::kLevelError, "", kLineUnsafeName,
                         "TransactedFileInstaller - Refused a file name that leaves the "
                         "installation directory.");
    return kArchiveEntryMalformed;
  }
  std::wstring destination = JoinWidePath(installation_directory_, WithBackslashes(relative_name));
  std::wstring staged = MakeTemporaryPath();
  std::wstring backup = MakeTemporaryPath();
  ErrorCode error;
  file_system_.WriteNewFile(staged, content, error);
  if (error) {
    return ToResultCode(error, kCreateFailed);
  }
  obsolete_files_.erase(destination);
  staged_bytes_ += content.size;
  operations_.push_back(
      FileOperation{std::move(destination), std::move(staged), std::move(backup), State::Pending});
  return kSuccess;
}

ResultCode TransactedFileInstaller::ScheduleObsoleteFileRemoval() {
  // Removals go first: on a file system that ignores case, an obsolete
  // "locales\de.pak" may be the very file that a package entry "locales\DE.pak"
  // has just placed. Parking the old file before the new one arrives keeps
  // both the commit and the reverse-order rollback right in that case.
  std::vector<FileOperation> removals;
  removals.reserve(obsolete_files_.size());
  for (const std::wstring& path : obsolete_files_) {
    removals.push_back(FileOperation{path, std::nullopt, MakeTemporaryPath(), State::Pending});
  }
  obsolete_files_.clear();
  operations_.insert(operations_.begin(), std::make_move_iterator(removals.begin()),
                     std::make_move_iterator(removals.end()));
  return kSuccess;
}

ResultCode TransactedFileInstaller::Commit() {
  logging::log_message(logging::kLevelInfo, "", kLineStartCommit,
                       "TransactedFileInstaller - Start Commit");
  if (rollback_started_) {
    // Nothing that a retry could change: records may have been restored.
    logging::log_message(logging::kLevelError, "", kLineCommitFailed,
                         "TransactedFileInstaller - Commit failed with error: %d",
                         ResultNumber(kCommitAfterRollback));
    return kCommitAfterRollback;
  }
  if (const ResultCode linked = RemoveLinksAtCommitNames(); linked != kSuccess) {
    logging::log_message(logging::kLevelError, "", kLineCommitFailed,
                         "TransactedFileInstaller - Commit failed with error: %d",
                         static_cast<int>(linked));
    return linked;
  }
  const ResultCode result =
      RunPasses(sleep_, kLineCommitFailed, "TransactedFileInstaller - Commit failed with error: %d",
                [this](bool /*last_chance*/, bool& progress) { return CommitPass(progress); });
  if (result != kSuccess) {
    return result;
  }
  if (defer_backup_deletion_) {
    ParkBackups();
  } else {
    DeleteBackups();
  }
  created_directories_.clear();  // they hold the installation now
  logging::log_message(logging::kLevelInfo, "", kLineCommitCompleted,
                       "TransactedFileInstaller - Commit completed successfully.");
  return kSuccess;
}

ResultCode TransactedFileInstaller::Rollback() {
  logging::log_message(logging::kLevelInfo, "", kLineAttemptRollback,
                       "TransactedFileInstaller - Attempt Rollback.");
  const ResultCode result = RunPasses(
      sleep_, kLineRollbackFailed, "TransactedFileInstaller - Rollback failed with error: %d",
      [this](bool last_chance, bool& progress) { return RollbackPass(last_chance, progress); });
  RemoveCreatedDirectories();
  if (result != kSuccess) {
    return result;
  }
  logging::log_message(logging::kLevelInfo, "", kLineRollbackCompleted,
                       "TransactedFileInstaller - Rollback completed successfully.");
  return kSuccess;
}

// Commit: Pending -> BackedUp (old file parked) -> Placed (new file in place).
// A record without an old file goes Pending -> Placed and loses its backup
// path; a removal is Placed once its old file is parked. Stops at the first
// failure; the next pass resumes where this one stopped.
ResultCode TransactedFileInstaller::CommitPass(bool& progress) {
  ErrorCode error;
  // Directories made sure of in this pass: most files share a handful, and
  // creating a deep path costs a system call per element.
  std::set<std::wstring> directories_made;
  for (FileOperation& op : operations_) {
    if (op.state == State::Pending) {
      bool exists = false;
      if (!DestinationExists(op.destination, exists)) {
        return kReplaceFailed;
      }
      if (exists) {
        if (!file_system_.Rename(op.destination, op.backup, error)) {
          return kReplaceFailed;
        }
        op.state = State::BackedUp;
        progress = true;
      }
    }
    if (op.state == State::Pending || op.state == State::BackedUp) {
      if (op.staged) {
        if (!MakeParentDirectories(op.destination, directories_made)) {
          return kCreateFailed;
        }
        if (!file_system_.Rename(*op.staged, op.destination, error)) {
          return kReplaceFailed;
        }
      }
      if (op.state == State::Pending) {
        op.backup.clear();  // nothing was parked
      }
      op.state = State::Placed;
      progress = true;
    }
  }
  return kSuccess;
}

// Rollback, newest record first: Placed -> BackedUp (new file removed) ->
// Pending (old file back) -> Finished (temporary files deleted); Placed ->
// Finished when there was no old file. A record that cannot move on is left
// for the next pass, except on the last one (`force`), which gives up on it:
// a backup that cannot be renamed back stays under its temporary name (the
// only copy of the old file: its path is logged so that it can be recovered,
// and the next successful run's DeleteTemporaryFiles removes it), a new file
// that cannot be removed stays, and undeletable temporary files are left to
// the next run.
ResultCode TransactedFileInstaller::RollbackPass(bool force, bool& progress) {
  rollback_started_ = true;
  ResultCode result = kSuccess;
  ErrorCode error;
  for (auto it = operations_.rbegin(); it != operations_.rend(); ++it) {
    FileOperation& op = *it;
    if (op.state == State::Placed) {
      const bool has_backup = !op.backup.empty();
      file_system_.Remove(op.destination, error);
      if (error) {
        result = kFileInUse;
        if (!has_backup && !force) {
          continue;  // no rename will replace it: try again next pass
        }
      }
      op.state = has_backup ? State::BackedUp : State::Finished;
      progress = true;
    }
    if (op.state == State::BackedUp) {
      if (file_system_.Rename(op.backup, op.destination, error)) {
        op.state = State::Pending;
        progress = true;
      } else {
        result = kReplaceFailed;
        if (force) {
          logging::log_message(
              logging::kLevelError, "", kLineBackupKept,
              "TransactedFileInstaller - Could not restore '%s'; the old file is kept as '%s'.",
              WidePathToUtf8(op.destination).c_str(), WidePathToUtf8(op.backup).c_str());
          op.backup.clear();  // kept: never discarded below
          op.state = State::Pending;
        }
      }
    }
    if (op.state == State::Pending) {
      const bool staged_gone = !op.staged || DiscardTemporaryFile(*op.staged);
      const bool backup_gone = DiscardTemporaryFile(op.backup);
      if ((staged_gone && backup_gone) || force) {
        op.state = State::Finished;
        progress = true;
      } else {
        result = kFileInUse;
      }
    }
  }
  return result;
}

// After a successful commit: deletes the parked old files. The new files are
// in place whatever happens here, so a backup that cannot be deleted never
// fails the commit; it is retried with the same waits as the passes and then
// left to the next run's DeleteTemporaryFiles.
void TransactedFileInstaller::DeleteBackups() {
  int failures = 0;
  for (;;) {
    bool all_deleted = true;
    for (FileOperation& op : operations_) {
      if (op.state != State::Placed) {
        continue;
      }
      if (DiscardTemporaryFile(op.backup)) {
        op.state = State::Finished;
      } else {
        all_deleted = false;
      }
    }
    if (all_deleted || ++failures > kMaxFailuresInARow) {
      break;
    }
    sleep_(kFirstWaitMs << failures);
  }
  for (FileOperation& op : operations_) {
    if (op.state == State::Placed) {
      op.state = State::Finished;  // committed; a rollback must not touch it
    }
  }
}

// After a successful commit that defers the deletion of the old files:
// notes where they are parked and marks every record done.
void TransactedFileInstaller::ParkBackups() {
  for (FileOperation& op : operations_) {
    if (op.state == State::Placed) {
      if (!op.backup.empty()) {
        parked_files_.push_back(op.backup);
      }
      op.state = State::Finished;
    }
  }
}

// True when no regular file is left at `path`: there was none, or it was
// removed or its removal scheduled for the next reboot.
bool TransactedFileInstaller::DiscardTemporaryFile(const std::wstring& path) {
  if (path.empty()) {
    return true;
  }
  ErrorCode error;
  if (!file_system_.IsRegularFile(path, error) && (!error || IsNotFound(error))) {
    return true;
  }
  return file_system_.RemoveOrDelayUntilReboot(path, error);
}

// Creates the directories from the installation directory down to the parent
// of `destination`, one element at a time so that the ones this installer
// brings into being are known and a rollback can take them away again.
bool TransactedFileInstaller::MakeParentDirectories(const std::wstring& destination,
                                                    std::set<std::wstring>& directories_made) {
  std::size_t base_length = installation_directory_.size();
  while (base_length > 0 && IsWideSeparator(installation_directory_[base_length - 1])) {
    --base_length;
  }
  ErrorCode error;
  for (std::wstring& directory : DirectoryPrefixes(ParentOf(destination))) {
    if (directory.size() < base_length || directories_made.count(directory) != 0) {
      continue;  // above the installation directory, or done in this pass
    }
    if (file_system_.CreateDirectories(directory, error)) {
      created_directories_.push_back(directory);
    } else if (!error && directory.size() > base_length &&
               (file_system_.IsLink(directory, error) || error)) {
      return false;  // never written through a link it did not make
    }
    if (error) {
      return false;
    }
    directories_made.insert(std::move(directory));
  }
  return true;
}

// Removes the directories this installer created, newest first. Only empty
// ones go: a directory that still holds anything stays.
void TransactedFileInstaller::RemoveCreatedDirectories() {
  ErrorCode ignored;
  for (auto it = created_directories_.rbegin(); it != created_directories_.rend(); ++it) {
    file_system_.Remove(*it, ignored);
  }
  created_directories_.clear();
}

// False when the status query failed for another reason than absence: the
// commit cannot know whether there is an old file to park, and replacing it
// blindly would lose it.
bool TransactedFileInstaller::DestinationExists(const std::wstring& path, bool& exists) {
  ErrorCode error;
  exists = file_system_.IsRegularFile(path, error);
  return exists || !error || IsNotFound(error);
}

std::wstring TransactedFileInstaller::MakeTemporaryPath() {
  const std::uint32_t counter = next_temporary_number_++;
  return JoinWidePath(installation_directory_, L"~TMP_" + std::to_wstring(process_id_) + L"_" +
                                                   std::to_wstring(counter) + L"_~");
}

}  // namespace zevrino::desktop::installer
