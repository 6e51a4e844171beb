#include "files/link_guard.h"

#include "base/wide_path.h"
#include "files/log_lines.h"
#include "logging/log.h"

namespace zevrino::desktop::installer {

ResultCode RemoveLinkAt(FileSystem& file_system, const std::wstring& path) {
  ErrorCode error;
  if (!file_system.IsLink(path, error)) {
    return !error || IsNotFound(error) ? kSuccess : kCreateFailed;
  }
  if (file_system.RemoveLink(path, error)) {
    return kSuccess;
  }
  logging::log_message(logging::kLevelError, "", kLineLinkKept,
                       "Could not remove the link '%s' (code: %d).", WidePathToUtf8(path).c_str(),
                       error.value());
  return kCreateFailed;
}

bool CrossesLink(FileSystem& file_system, const std::wstring& path) {
  for (const std::wstring& name : DirectoryPrefixes(path)) {
    ErrorCode error;
    if (file_system.IsLink(name, error) || (error && !IsNotFound(error))) {
      return true;
    }
  }
  return false;
}

}  // namespace zevrino::desktop::installer
