// Fuzz target for the choice of the directory an update replaces. Input: the
// update's path argument, a newline, and a resolved directory. The named
// directory is a prefix of the argument, or the default installation where
// it would be a forbidden root; a resolved directory that is a root or a
// protected folder is never a place for an update.

#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/update_plan.h"

namespace {

using namespace zevrino::desktop::installer;

constexpr char kDefault[] = "C:\\Users\\u\\AppData\\Roaming\\Zevrino";

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

bool AsciiPathsEqual(const char* a, const char* b) {
  return strcasecmp(a, b) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = text.find('\n');
  const std::string argument = text.substr(0, newline);
  const std::string resolved = newline == std::string::npos ? "" : text.substr(newline + 1);
  if (text.find('\0') != std::string::npos) {
    return 0;
  }
  const std::string target = UpdateTargetDirectory(argument.c_str(), kDefault, AsciiPathsEqual);
  Check(target == kDefault || argument.compare(0, target.size(), target) == 0);
  std::string compared = target;
  for (char& c : compared) {
    c = c == '/' ? '\\' : c;
  }
  for (const char* root : kForbiddenUpdateRoots) {
    Check(target == kDefault || !AsciiPathsEqual(compared.c_str(), root));
  }
  Check(resolved.empty() || IsForbiddenUpdateTarget(resolved, {resolved}, AsciiPathsEqual));
  for (const std::string root : {"C:", "z:\\", "\\\\s\\sh", "\\"}) {
    Check(IsForbiddenUpdateTarget(root, {}, AsciiPathsEqual));
  }
  const std::string plain = WithoutExtendedPrefix(resolved);
  Check(plain.size() <= resolved.size());
  return 0;
}
