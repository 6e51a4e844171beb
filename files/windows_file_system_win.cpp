#include "files/windows_file_system_win.h"

#include <windows.h>

#include "base/wide_path.h"
#include "files/log_lines.h"
#include "logging/log.h"
#include "windows/file_write_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

ErrorCode LastSystemError() {
  return ErrorCode::System(static_cast<std::int32_t>(::GetLastError()));
}

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Attributes of what `path` finally names, links followed. Opening with no
// data access does not collide with other openers' sharing modes.
bool FollowedAttributes(const std::wstring& path, DWORD& attributes) {
  ScopedFileHandle handle(::CreateFileW(ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
  if (!handle.valid()) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(handle.get(), &information)) {
    return false;
  }
  attributes = information.dwFileAttributes;
  return true;
}

// The final path of what `path` names, links followed, as Windows writes it
// ("\\?\C:\..." for a drive); empty when it cannot be opened.
std::wstring FinalPath(const std::wstring& path) {
  ScopedFileHandle handle(::CreateFileW(ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
  if (!handle.valid()) {
    return std::wstring();
  }
  std::wstring final_path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle.get(), final_path.data(),
                                                     static_cast<DWORD>(final_path.size()), 0);
    if (length == 0) {
      return std::wstring();
    }
    if (length < final_path.size()) {
      final_path.resize(length);
      return final_path;
    }
    final_path.resize(length);
  }
}

enum class EntryKind { kRegularFile, kDirectory, kDirectoryLink, kOther };

// Classifies one walk entry. Plain entries are judged from the walk's data; a
// link (reparse point) is resolved, and a link that does not resolve is
// skipped like anything else that is not a regular file.
EntryKind ClassifyEntry(const std::wstring& full_path, const WIN32_FIND_DATAW& data) {
  const DWORD attributes = data.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kDirectory
                                                        : EntryKind::kRegularFile;
  }
  DWORD target = 0;
  if (!FollowedAttributes(full_path, target)) {
    return EntryKind::kOther;
  }
  return (target & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kDirectoryLink
                                                  : EntryKind::kRegularFile;
}

bool IsDotEntry(const wchar_t* name) {
  return (name[0] == L'.' && name[1] == L'\0') ||
         (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool IsExistingDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(ExtendedLengthPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Walks one directory. Regular files go to `callback`; real sub-directories
// are walked too when `recursive`. Returns the first error met: opening the
// directory, advancing it, or opening a sub-directory. A failing
// sub-directory does not stop the walk of its siblings.
DWORD WalkDirectory(const std::wstring& directory, const FileCallback& callback, bool recursive) {
  WIN32_FIND_DATAW data;
  const std::wstring pattern = ExtendedLengthPath(JoinWidePath(directory, L"*"));
  ScopedFindHandle search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
  if (!search.valid()) {
    const DWORD error = ::GetLastError();
    // No match at all: only a drive root lacks "." and "..", and an empty one
    // is a successful, empty walk.
    if (error == ERROR_FILE_NOT_FOUND && IsExistingDirectory(directory)) {
      return ERROR_SUCCESS;
    }
    return error;
  }
  DWORD first_error = ERROR_SUCCESS;
  do {
    if (IsDotEntry(data.cFileName)) {
      continue;
    }
    const std::wstring full_path = JoinWidePath(directory, data.cFileName);
    switch (ClassifyEntry(full_path, data)) {
      case EntryKind::kRegularFile:
        callback(full_path);
        break;
      case EntryKind::kDirectory:
        if (recursive) {
          const DWORD error = WalkDirectory(full_path, callback, true);
          if (first_error == ERROR_SUCCESS) {
            first_error = error;
          }
        }
        break;
      case EntryKind::kDirectoryLink:  // never followed: it may lead outside or loop
      case EntryKind::kOther:
        break;
    }
  } while (::FindNextFileW(search.get(), &data));
  const DWORD end_error = ::GetLastError();
  if (end_error != ERROR_NO_MORE_FILES && first_error == ERROR_SUCCESS) {
    first_error = end_error;
  }
  return first_error;
}

}  // namespace

bool WindowsFileSystem::CreateDirectories(const std::wstring& path, ErrorCode& error) {
  if (path.empty()) {
    error = ErrorCode::System(ERROR_PATH_NOT_FOUND);
    return false;
  }
  // Errors that only say "an ancestor is missing or unusable" are the echo of
  // an earlier failure; a more telling error met earlier wins over them.
  const auto is_consequential = [](DWORD e) {
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_BAD_NETPATH ||
           e == ERROR_INVALID_NAME;
  };
  DWORD telling_error = ERROR_SUCCESS;
  DWORD last_prefix_error = ERROR_SUCCESS;
  bool created_last = false;
  for (const std::wstring& prefix : DirectoryPrefixes(path)) {
    created_last = ::CreateDirectoryW(ExtendedLengthPath(prefix).c_str(), nullptr) != FALSE;
    last_prefix_error = created_last ? ERROR_SUCCESS : ::GetLastError();
    // Whatever the refusal (ERROR_ALREADY_EXISTS, or ERROR_ACCESS_DENIED that
    // Windows gives for drive roots and some protected folders), a prefix that
    // is a directory already is what we want.
    if (last_prefix_error != ERROR_SUCCESS && IsExistingDirectory(prefix)) {
      last_prefix_error = ERROR_SUCCESS;
    }
    if (last_prefix_error != ERROR_SUCCESS && !is_consequential(last_prefix_error)) {
      telling_error = last_prefix_error;
    }
  }
  if (last_prefix_error == ERROR_SUCCESS) {
    error = ErrorCode::System(0);
  } else {
    error = ErrorCode::System(static_cast<std::int32_t>(
        telling_error != ERROR_SUCCESS ? telling_error : last_prefix_error));
  }
  return created_last;
}

bool WindowsFileSystem::WriteNewFile(const std::wstring& path, ByteRange content,
                                     ErrorCode& error) {
  const ResultCode result = WriteFileInOneGo(ExtendedLengthPath(path).c_str(), content.data,
                                             content.size, ExistingFile::kRefuse);
  error = ErrorCode::Installer(result);
  return result == kSuccess;
}

bool WindowsFileSystem::Remove(const std::wstring& given_path, ErrorCode& error) {
  const std::wstring path = ExtendedLengthPath(given_path);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD query_error = ::GetLastError();
    error = ErrorCode::System(IsNotFound(query_error) ? 0 : static_cast<std::int32_t>(query_error));
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // Also removes a directory link without touching its target.
    if (!::RemoveDirectoryW(path.c_str())) {
      error = LastSystemError();
      return false;
    }
    error = ErrorCode::System(0);
    return true;
  }
  const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only) {
    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (!::DeleteFileW(path.c_str())) {
    const DWORD delete_error = ::GetLastError();
    // The file stays: give it back the protection it had.
    if (read_only) {
      ::SetFileAttributesW(path.c_str(), attributes);
    }
    // Gone in between: nothing was removed by us, and that is no error.
    error =
        ErrorCode::System(IsNotFound(delete_error) ? 0 : static_cast<std::int32_t>(delete_error));
    return false;
  }
  error = ErrorCode::System(0);
  return true;
}

bool WindowsFileSystem::RemoveOrDelayUntilReboot(const std::wstring& path, ErrorCode& error) {
  if (Remove(path, error)) {
    return true;
  }
  logging::log_message(logging::kLevelError, "", kLineRemoveFailedDelaying,
                       "Failed to remove '%s' (code: %d)! Trying to delay remove until reboot...",
                       WideToLogText(path).c_str(), error.value());
  if (::MoveFileExW(ExtendedLengthPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    error = ErrorCode::Installer(kSuccess);
    return true;
  }
  const long delay_error = static_cast<long>(::GetLastError());
  logging::log_message(logging::kLevelError, "", kLineDelayFailed,
                       "Failed to delay remove of '%s' until reboot (code: %ld)!",
                       WideToLogText(path).c_str(), delay_error);
  error = ErrorCode::Installer(kFileInUse);
  return false;
}

bool WindowsFileSystem::Rename(const std::wstring& source, const std::wstring& destination,
                               ErrorCode& error) {
  const std::wstring source_path = ExtendedLengthPath(source);
  const std::wstring destination_path = ExtendedLengthPath(destination);
  if (::MoveFileExW(source_path.c_str(), destination_path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    error = ErrorCode::System(0);
    return true;
  }
  error = LastSystemError();
  const std::string source_text = WideToUtf8(source);
  const std::string destination_text = WideToUtf8(destination);
  logging::log_message(logging::kLevelWarning, "", kLineRenameFailed,
                       "Failed to rename '%s' to '%s' (code: %d)! Trying copy and remove...",
                       source_text.c_str(), destination_text.c_str(), error.value());

  // Never over an existing file: a destination that could not be replaced by
  // the move must not be clobbered by the copy either.
  if (!::CopyFileW(source_path.c_str(), destination_path.c_str(), TRUE)) {
    error = LastSystemError();
    logging::log_message(logging::kLevelError, "", kLineCopyFailed,
                         "Failed to copy '%s' to '%s' (code: %d)!", source_text.c_str(),
                         destination_text.c_str(), error.value());
    return false;
  }
  Remove(source, error);
  if (error) {
    logging::log_message(logging::kLevelError, "", kLineRemoveSourceFailed,
                         "Failed to remove '%s' (code: %d)!", source_text.c_str(), error.value());
  }
  return !error;
}

bool WindowsFileSystem::IsLink(const std::wstring& path, ErrorCode& error) {
  const DWORD attributes = ::GetFileAttributesW(ExtendedLengthPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = LastSystemError();
    return false;
  }
  error = ErrorCode::System(0);
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return true;
  }
  // A link the attributes hide still ends somewhere else than its name.
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) {
    return false;
  }
  const std::wstring parent = FinalPath(path.substr(0, separator));
  const std::wstring itself = FinalPath(path);
  return !parent.empty() && !itself.empty() &&
         ::CompareStringOrdinal(itself.c_str(), -1,
                                JoinWidePath(parent, path.substr(separator + 1)).c_str(), -1,
                                TRUE) != CSTR_EQUAL;
}

bool WindowsFileSystem::RemoveLink(const std::wstring& path, ErrorCode& error) {
  ScopedFileHandle link(
      ::CreateFileW(ExtendedLengthPath(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!link.valid()) {
    error = LastSystemError();
    return false;
  }
  // Only a handle on the reparse point itself deletes the link and not its
  // target; Wine opens the target whatever the flags say.
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (!::GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    error = ErrorCode::System(ERROR_NOT_A_REPARSE_POINT);
    return false;
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (!::SetFileInformationByHandle(link.get(), FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
    error = LastSystemError();
    return false;
  }
  error = ErrorCode::System(0);
  return true;
}

bool WindowsFileSystem::IsRegularFile(const std::wstring& path, ErrorCode& error) {
  DWORD attributes = ::GetFileAttributesW(ExtendedLengthPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = LastSystemError();
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !FollowedAttributes(path, attributes)) {
    error = LastSystemError();
    return false;
  }
  error = ErrorCode::System(0);
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {

bool ForEach(const std::wstring& directory, const FileCallback& callback, bool recursive,
             int log_line, ErrorCode& error) {
  error =
      ErrorCode::System(static_cast<std::int32_t>(WalkDirectory(directory, callback, recursive)));
  if (error) {
    logging::log_message(logging::kLevelError, "", log_line,
                         "Failed to iterate over files in '%s' (code: %d)!",
                         WideToLogText(directory).c_str(), error.value());
  }
  return !error;
}

}  // namespace

bool WindowsFileSystem::ForEachFile(const std::wstring& directory, const FileCallback& callback,
                                    ErrorCode& error) {
  return ForEach(directory, callback, false, kLineForEachFileFailed, error);
}

bool WindowsFileSystem::ForEachFileRecursive(const std::wstring& directory,
                                             const FileCallback& callback, ErrorCode& error) {
  return ForEach(directory, callback, true, kLineForEachFileRecursiveFailed, error);
}

bool WindowsFileSystem::FreeSpaceOnVolume(const std::wstring& path, std::uint64_t& bytes,
                                          ErrorCode& error) {
  // Only an existing directory can be asked: a new installation asks the
  // nearest one above it, down to the root.
  std::vector<std::wstring> directories = DirectoryPrefixes(path);
  if (const std::size_t root = WideRootLength(path); root != 0) {
    directories.insert(directories.begin(), path.substr(0, root));
  }
  DWORD last_error = ERROR_PATH_NOT_FOUND;
  for (auto directory = directories.rbegin(); directory != directories.rend(); ++directory) {
    // A share's root is only understood with its trailing separator.
    std::wstring asked = ExtendedLengthPath(*directory);
    if (!IsWideSeparator(asked.back())) {
      asked += L'\\';
    }
    ULARGE_INTEGER available = {};
    if (::GetDiskFreeSpaceExW(asked.c_str(), &available, nullptr, nullptr)) {
      bytes = available.QuadPart;
      error = ErrorCode::System(0);
      return true;
    }
    last_error = ::GetLastError();
    if (!IsNotFound(last_error)) {
      break;
    }
  }
  error = ErrorCode::System(static_cast<std::int32_t>(last_error));
  return false;
}

std::unique_ptr<FileSystem> CreateFileSystem() {
  return std::make_unique<WindowsFileSystem>();
}

}  // namespace zevrino::desktop::installer
