#include "installer_stub/update_plan.h"

#include <algorithm>
#include <vector>

#include "installer/path_utf8.h"

namespace zevrino::desktop::installer {

std::string UpdateTargetDirectory(const char* argument, const char* default_directory,
                                  PathsEqualFunction paths_equal) {
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

std::optional<unsigned> WaitAfterFailure(unsigned failures,
                                         const ExclusiveAccessSchedule& schedule) {
  if (failures > schedule.max_failures) {
    return std::nullopt;
  }
  return failures <= schedule.short_waits ? schedule.short_wait_ms : schedule.long_wait_ms;
}

}  // namespace zevrino::desktop::installer
