#include "tests/support/memory_file_system.h"

#include <vector>

namespace zevrino::desktop::installer::testing {
namespace {

constexpr std::int32_t kFileNotFound = 2;
constexpr std::int32_t kPathNotFound = 3;
constexpr std::int32_t kAccessDenied = 5;
constexpr std::int32_t kDirNotEmpty = 145;
constexpr std::int32_t kAlreadyExists = 183;
constexpr std::int32_t kNotAReparsePoint = 4390;

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

std::wstring ParentKey(const std::wstring& key) {
  const std::size_t separator = key.rfind(L'\\');
  return separator == std::wstring::npos ? std::wstring() : key.substr(0, separator);
}

bool IsBelow(const std::wstring& key, const std::wstring& directory) {
  return key.size() > directory.size() + 1 && key.compare(0, directory.size(), directory) == 0 &&
         key[directory.size()] == L'\\';
}

}  // namespace

std::wstring MemoryFileSystem::Normalise(const std::wstring& path) {
  std::wstring key;
  for (wchar_t c : path) {
    if (IsSeparator(c)) {
      if (!key.empty() && key.back() == L'\\') {
        continue;
      }
      c = L'\\';
    }
    key += c;
  }
  if (!key.empty() && key.back() == L'\\') {
    key.pop_back();
  }
  return key;
}

void MemoryFileSystem::PutFile(const std::wstring& path, const std::string& content) {
  const std::wstring key = Normalise(path);
  ErrorCode ignored;
  CreateDirectories(ParentKey(key), ignored);
  files_[key] = content;
}

void MemoryFileSystem::PutLink(const std::wstring& path) {
  links_.insert(Normalise(path));
}

bool MemoryFileSystem::HasDirectory(const std::wstring& path) const {
  return directories_.count(Normalise(path)) != 0;
}

bool MemoryFileSystem::ParentExists(const std::wstring& key) const {
  const std::wstring parent = ParentKey(key);
  return parent.empty() || directories_.count(parent) != 0;
}

bool MemoryFileSystem::CreateDirectories(const std::wstring& path, ErrorCode& error) {
  const std::wstring key = Normalise(path);
  if (key.empty()) {
    error = ErrorCode::System(kPathNotFound);
    return false;
  }
  error.clear();
  bool created_last = false;
  std::size_t position = 0;
  while (position != std::wstring::npos) {
    position = key.find(L'\\', position + 1);
    const std::wstring prefix = key.substr(0, position);
    if (files_.count(prefix) != 0) {
      error = ErrorCode::System(kAlreadyExists);
      return false;
    }
    if (links_.count(prefix) != 0) {
      created_last = false;  // a junction counts as the directory it leads to
      continue;
    }
    created_last = directories_.insert(prefix).second;
  }
  return created_last;
}

bool MemoryFileSystem::WriteNewFile(const std::wstring& path, ByteRange content, ErrorCode& error) {
  const std::wstring key = Normalise(path);
  if (!ParentExists(key) || directories_.count(key) != 0 || files_.count(key) != 0 ||
      links_.count(key) != 0) {
    error = ErrorCode::Installer(kCreateFailed);
    return false;
  }
  files_[key].assign(reinterpret_cast<const char*>(content.data),
                     static_cast<std::size_t>(content.size));
  error = ErrorCode::Installer(kSuccess);
  return true;
}

bool MemoryFileSystem::Remove(const std::wstring& path, ErrorCode& error) {
  const std::wstring key = Normalise(path);
  error.clear();
  if (files_.erase(key) != 0) {
    return true;
  }
  if (directories_.count(key) != 0) {
    for (const auto& entry : files_) {
      if (IsBelow(entry.first, key)) {
        error = ErrorCode::System(kDirNotEmpty);
        return false;
      }
    }
    for (const std::wstring& directory : directories_) {
      if (IsBelow(directory, key)) {
        error = ErrorCode::System(kDirNotEmpty);
        return false;
      }
    }
    directories_.erase(key);
    return true;
  }
  return false;
}

bool MemoryFileSystem::RemoveOrDelayUntilReboot(const std::wstring& path, ErrorCode& error) {
  if (Remove(path, error)) {
    error = ErrorCode::Installer(kSuccess);
    return true;
  }
  error = ErrorCode::Installer(kFileInUse);  // no rights to schedule a deletion
  return false;
}

bool MemoryFileSystem::Rename(const std::wstring& source, const std::wstring& destination,
                              ErrorCode& error) {
  const std::wstring from = Normalise(source);
  const std::wstring to = Normalise(destination);
  const auto found = files_.find(from);
  if (found == files_.end()) {
    error = ErrorCode::System(ParentExists(from) ? kFileNotFound : kPathNotFound);
    return false;
  }
  if (!ParentExists(to)) {
    error = ErrorCode::System(kPathNotFound);
    return false;
  }
  if (directories_.count(to) != 0) {
    error = ErrorCode::System(kAccessDenied);
    return false;
  }
  std::string content = std::move(found->second);
  files_.erase(found);
  files_[to] = std::move(content);
  error.clear();
  return true;
}

bool MemoryFileSystem::IsLink(const std::wstring& path, ErrorCode& error) {
  const std::wstring key = Normalise(path);
  error.clear();
  if (links_.count(key) != 0) {
    return true;
  }
  if (files_.count(key) == 0 && directories_.count(key) == 0) {
    error = ErrorCode::System(ParentExists(key) ? kFileNotFound : kPathNotFound);
  }
  return false;
}

bool MemoryFileSystem::RemoveLink(const std::wstring& path, ErrorCode& error) {
  if (links_.erase(Normalise(path)) == 0) {
    error = ErrorCode::System(kNotAReparsePoint);
    return false;
  }
  error.clear();
  return true;
}

bool MemoryFileSystem::IsRegularFile(const std::wstring& path, ErrorCode& error) {
  const std::wstring key = Normalise(path);
  error.clear();
  if (files_.count(key) != 0) {
    return true;
  }
  if (directories_.count(key) == 0 && links_.count(key) == 0) {
    error = ErrorCode::System(ParentExists(key) ? kFileNotFound : kPathNotFound);
  }
  return false;
}

bool MemoryFileSystem::ForEachFile(const std::wstring& directory, const FileCallback& callback,
                                   ErrorCode& error) {
  return Walk(directory, false, callback, error);
}

bool MemoryFileSystem::ForEachFileRecursive(const std::wstring& directory,
                                            const FileCallback& callback, ErrorCode& error) {
  return Walk(directory, true, callback, error);
}

bool MemoryFileSystem::Walk(const std::wstring& directory, bool recursive,
                            const FileCallback& callback, ErrorCode& error) {
  const std::wstring key = Normalise(directory);
  if (directories_.count(key) == 0) {
    error = ErrorCode::System(kPathNotFound);
    return false;
  }
  error.clear();
  // Collected first: callbacks may remove files, as they may on Windows.
  std::vector<std::wstring> found;
  for (const auto& entry : files_) {
    if (recursive ? IsBelow(entry.first, key) : ParentKey(entry.first) == key) {
      found.push_back(entry.first);
    }
  }
  for (const std::wstring& path : found) {
    callback(path);
  }
  return true;
}

std::uint64_t MemoryFileSystem::UsedBytes() const {
  std::uint64_t used = 0;
  for (const auto& entry : files_) {
    used += entry.second.size();
  }
  return used;
}

bool MemoryFileSystem::FreeSpaceOnVolume(const std::wstring&, std::uint64_t& bytes,
                                         ErrorCode& error) {
  if (!capacity_) {
    error = ErrorCode::System(50);  // ERROR_NOT_SUPPORTED
    return false;
  }
  bytes = *capacity_ > UsedBytes() ? *capacity_ - UsedBytes() : 0;
  error.clear();
  return true;
}

}  // namespace zevrino::desktop::installer::testing
