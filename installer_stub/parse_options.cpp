#include "installer_stub/parse_options.h"

#include <cstring>
#include <string>

#include "installer_stub/command_line.h"

namespace zevrino::desktop::installer {

bool IsValidMuSuffix(const char* suffix) {
  constexpr std::size_t kMaxLength = 32;
  const std::size_t length = std::strlen(suffix);
  // Windows drops a trailing dot from a folder's name: "beta." would name
  // the folder of "beta" yet be another suffix.
  if (length == 0 || length > kMaxLength || suffix[0] == '.' || suffix[length - 1] == '.') {
    return false;
  }
  for (const char* p = suffix; *p != '\0'; ++p) {
    const char c = *p;
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!allowed) {
      return false;
    }
  }
  return true;
}

Options ParseOptions(char* const* tokens, int count) {
  Options options;
  int i = 0;
  while (i < count) {
    const char* token = tokens[i];
    const char* next = i + 1 < count ? tokens[i + 1] : nullptr;

    if (next != nullptr && MatchOption(token, "url")) {
      options.url = next;
      i += 2;
    } else if (next != nullptr && MatchOption(token, "mu")) {
      options.mu_suffix = next;
      AppendQuotedArgument(token, &options.forwarded.mu);
      AppendQuotedArgument(next, &options.forwarded.mu);
      i += 2;
    } else if (MatchOption(token, "extract")) {
      options.extract = true;
      options.target_path = next;
      break;
    } else if (MatchOption(token, "update")) {
      if (next == nullptr) {
        break;  // no path: the option is ignored
      }
      options.update = true;
      options.target_path = next;
      break;
    } else if (MatchOption(token, "webinstall")) {
      options.webinstall = true;
      ++i;
    } else if (MatchOption(token, "silent")) {
      options.silent = true;
      ++i;
    } else if (MatchOption(token, "skip-app-launch")) {
      options.skip_app_launch = true;
      ++i;
    } else if (MatchOption(token, "log-file")) {
      if (next != nullptr) {
        options.log_file_path = next;
      }
      i += next != nullptr ? 2 : 1;
    } else {
      AppendQuotedArgument(token, &options.forwarded.others);
      ++i;
    }
  }
  return options;
}

}  // namespace zevrino::desktop::installer
