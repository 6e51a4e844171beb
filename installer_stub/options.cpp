#include "installer_stub/options.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "installer_stub/command_line.h"

namespace zevrino::desktop::installer {

char* UrlOverride = nullptr;
const char* MuSuffix = nullptr;
char* ForwardedMuArgs = nullptr;
char* ForwardedArgs = nullptr;

namespace {

// Replaces *text with a new heap string: the old contents and `token` as
// AppendQuotedArgument quotes it. On allocation failure *text is left as it
// was and the token is not forwarded.
void AppendQuoted(char** text, const char* token) {
  std::string joined = *text == nullptr ? std::string() : std::string(*text);
  AppendQuotedArgument(token, &joined);
  char* copy = static_cast<char*>(std::malloc(joined.size() + 1));
  if (copy == nullptr) {
    return;
  }
  std::memcpy(copy, joined.c_str(), joined.size() + 1);
  std::free(*text);
  *text = copy;
}

// Replaces *text with a heap copy of `value`; on allocation failure *text is
// left as it was.
void ReplaceWithCopy(char** text, const char* value) {
  const std::size_t size = std::strlen(value) + 1;
  char* copy = static_cast<char*>(std::malloc(size));
  if (copy == nullptr) {
    return;
  }
  std::memcpy(copy, value, size);
  std::free(*text);
  *text = copy;
}

}  // namespace

bool IsValidMuSuffix(const char* suffix) {
  constexpr std::size_t kMaxLength = 32;
  const std::size_t length = std::strlen(suffix);
  if (length == 0 || length > kMaxLength || suffix[0] == '.') {
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
      ReplaceWithCopy(&UrlOverride, next);
      i += 2;
    } else if (next != nullptr && MatchOption(token, "mu")) {
      MuSuffix = next;
      AppendQuoted(&ForwardedMuArgs, token);
      AppendQuoted(&ForwardedMuArgs, next);
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
      AppendQuoted(&ForwardedArgs, token);
      ++i;
    }
  }
  return options;
}

}  // namespace zevrino::desktop::installer
