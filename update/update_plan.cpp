#include "update/update_plan.h"

#include <algorithm>
#include <vector>

#include "base/path_utf8.h"

namespace zevrino::desktop::installer {

std::string UpdateTargetDirectory(const char* argument, const char* default_directory,
                                  const PathsEqualFunction& paths_equal) {
  const std::string fallback = default_directory == nullptr ? "" : default_directory;
  if (argument == nullptr) {
    return fallback;
  }
  std::vector<char> buffer(argument, argument + std::char_traits<char>::length(argument) + 1);
  if (strip_last_path_component(buffer.data()) == 0) {
    return fallback;
  }
  const std::string target = buffer.data();
  // Windows accepts '/' as a separator, so "C:/" is the same root as "C:\".
  std::string compared = target;
  std::replace(compared.begin(), compared.end(), '/', '\\');
  for (const char* root : kForbiddenUpdateRoots) {
    if (paths_equal(compared.c_str(), root)) {
      return fallback;
    }
  }
  return target;
}

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string WithoutTrailingSeparators(std::string path) {
  while (!path.empty() && IsSeparator(path.back())) {
    path.pop_back();
  }
  return path;
}

// "C:" with nothing or only separators after it.
bool IsDriveRoot(const std::string& path) {
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':' &&
         WithoutTrailingSeparators(path).size() == 2;
}

// "\\server\share" with nothing or only separators after it.
bool IsShareRoot(const std::string& path) {
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) {
    return false;
  }
  const std::string rest = WithoutTrailingSeparators(path.substr(2));
  const std::size_t separator = rest.find_first_of("\\/");
  return rest.empty() || separator == std::string::npos ||
         rest.find_first_of("\\/", separator + 1) == std::string::npos;
}

}  // namespace

bool IsFullyQualifiedPath(const std::string& path) {
  const bool drive =
      path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
  const bool share = path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
                     !IsSeparator(path[2]) && path[2] != '?' && path[2] != '.';
  return drive || share;
}

std::string WithoutExtendedPrefix(const std::string& path) {
  constexpr char kPrefix[] = "\\\\?\\";
  constexpr char kUncPrefix[] = "\\\\?\\UNC\\";
  if (path.compare(0, sizeof kUncPrefix - 1, kUncPrefix) == 0) {
    return "\\\\" + path.substr(sizeof kUncPrefix - 1);
  }
  if (path.compare(0, sizeof kPrefix - 1, kPrefix) == 0) {
    return path.substr(sizeof kPrefix - 1);
  }
  return path;
}

bool IsForbiddenUpdateTarget(const std::string& resolved,
                             const std::vector<std::string>& protected_folders,
                             const PathsEqualFunction& paths_equal) {
  std::string compared = WithoutTrailingSeparators(resolved);
  // Separators alone name the root of the current drive.
  if (compared.empty() || IsDriveRoot(resolved) || IsShareRoot(resolved)) {
    return true;
  }
  std::replace(compared.begin(), compared.end(), '/', '\\');
  for (const char* root : kForbiddenUpdateRoots) {
    if (paths_equal(compared.c_str(), root)) {
      return true;
    }
  }
  for (const std::string& folder : protected_folders) {
    std::string protected_folder = WithoutTrailingSeparators(folder);
    std::replace(protected_folder.begin(), protected_folder.end(), '/', '\\');
    if (!protected_folder.empty() && paths_equal(compared.c_str(), protected_folder.c_str())) {
      return true;
    }
  }
  return false;
}

std::optional<unsigned> WaitAfterFailure(unsigned failures,
                                         const ExclusiveAccessSchedule& schedule) {
  if (failures > schedule.max_failures) {
    return std::nullopt;
  }
  return failures <= schedule.short_waits ? schedule.short_wait_ms : schedule.long_wait_ms;
}

}  // namespace zevrino::desktop::installer
