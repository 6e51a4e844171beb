// The UTF-8 path helpers that need no system call.

#include "installer/path_utf8.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace zevrino::desktop::installer {
namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

char* CopyOf(const char* text, std::size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) {
    return nullptr;
  }
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
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

char* join_path(const char* base, const char* name) {
  const std::size_t base_length = base == nullptr ? 0 : std::strlen(base);
  const std::size_t name_length = name == nullptr ? 0 : std::strlen(name);
  if (base_length == 0) {
    return CopyOf(name == nullptr ? "" : name, name_length);
  }
  if (name_length == 0) {
    return CopyOf(base, base_length);
  }
  const std::size_t kept = IsSeparator(base[base_length - 1]) ? base_length - 1 : base_length;
  char* joined = static_cast<char*>(std::malloc(kept + 1 + name_length + 1));
  if (joined == nullptr) {
    return nullptr;
  }
  std::memcpy(joined, base, kept);
  joined[kept] = '\\';
  std::memcpy(joined + kept + 1, name, name_length + 1);
  return joined;
}

char* concat_strings(int count, ...) {
  std::va_list args;
  va_start(args, count);
  std::size_t total = 0;
  for (int i = 0; i < count; ++i) {
    const char* part = va_arg(args, const char*);
    total += part == nullptr ? 0 : std::strlen(part);
  }
  va_end(args);

  char* result = static_cast<char*>(std::malloc(total + 1));
  if (result == nullptr) {
    return nullptr;
  }
  char* out = result;
  va_start(args, count);
  for (int i = 0; i < count; ++i) {
    const char* part = va_arg(args, const char*);
    if (part != nullptr) {
      const std::size_t length = std::strlen(part);
      std::memcpy(out, part, length);
      out += length;
    }
  }
  va_end(args);
  *out = '\0';
  return result;
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
    const std::string head(relative_path, static_cast<std::size_t>(p - relative_path));
    char* joined = join_path(base, head.c_str());
    if (joined == nullptr) {
      continue;
    }
    std::string directory(joined);
    std::free(joined);
    // An empty prefix (a leading separator with no base) names nothing.
    if (!directory.empty() && !IsDriveDesignator(directory)) {
      prefixes.push_back(std::move(directory));
    }
  }
  return prefixes;
}

}  // namespace zevrino::desktop::installer
