// The UTF-8 path helpers that need no system call.

#include "base/path_utf8.h"

#include <cstdlib>
#include <cstring>

namespace zevrino::desktop::installer {
namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// "C:" and the like: one ASCII letter and a colon, nothing else.
bool IsDriveDesignator(const std::string& text) {
  if (text.size() != 2 || text[1] != ':') {
    return false;
  }
  const char letter = text[0];
  return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

}  // namespace

std::string JoinPath(std::string_view base, std::string_view name) {
  if (base.empty()) {
    return std::string(name);
  }
  if (name.empty()) {
    return std::string(base);
  }
  if (IsSeparator(base.back())) {
    base.remove_suffix(1);
  }
  std::string joined;
  joined.reserve(base.size() + 1 + name.size());
  joined.append(base).append(1, '\\').append(name);
  return joined;
}

std::size_t strip_last_path_component(char* path) {
  char* last = nullptr;
  for (char* p = path; *p != '\0'; ++p) {
    if (IsSeparator(*p)) {
      last = p;
    }
  }
  if (last == nullptr) {
    return 0;
  }
  const std::size_t index = static_cast<std::size_t>(last - path);
  // A separator among the first three characters belongs to a root ("\",
  // "C:\") and is kept.
  const std::size_t length = index > 2 ? index : index + 1;
  path[length] = '\0';
  return length;
}

std::vector<std::string> parent_directory_prefixes(const char* base, const char* relative_path) {
  std::vector<std::string> prefixes;
  if (relative_path == nullptr) {
    return prefixes;
  }
  for (const char* p = relative_path; *p != '\0'; ++p) {
    if (!IsSeparator(*p)) {
      continue;
    }
    const std::string_view head(relative_path, static_cast<std::size_t>(p - relative_path));
    std::string directory = JoinPath(base == nullptr ? "" : base, head);
    // An empty prefix (a leading separator with no base) names nothing.
    if (!directory.empty() && !IsDriveDesignator(directory)) {
      prefixes.push_back(std::move(directory));
    }
  }
  return prefixes;
}

}  // namespace zevrino::desktop::installer
