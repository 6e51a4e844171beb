#include "installer_stub/command_line.h"

#include <cstring>
#include <locale>

namespace zevrino::desktop::installer {
namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

int SplitCommandLine(char* buffer, char** tokens, int limit) {
  int count = 0;
  char* p = buffer;
  while (count < limit) {
    while (IsSeparator(*p)) {
      ++p;
    }
    if (*p == '\0') {
      break;
    }
    char* end;
    if (*p == '"') {
      tokens[count++] = ++p;
      end = std::strchr(p, '"');
    } else {
      tokens[count++] = p;
      while (*p != '\0' && !IsSeparator(*p)) {
        ++p;
      }
      end = *p == '\0' ? nullptr : p;
    }
    if (end == nullptr) {
      break;  // the text ended inside this token
    }
    *end = '\0';
    p = end + 1;
  }
  return count;
}

bool MatchOption(const char* token, const char* name) {
  if (token[0] != '-' && token[0] != '/') {
    return false;
  }
  const char* rest = token + 1;
  if (*rest == '-') {
    ++rest;
  }
  if (std::strlen(rest) != std::strlen(name)) {
    return false;
  }
  const auto& ctype = std::use_facet<std::ctype<char>>(std::locale());
  for (; *rest != '\0'; ++rest, ++name) {
    if (ctype.toupper(*rest) != ctype.toupper(*name)) {
      return false;
    }
  }
  return true;
}

}  // namespace zevrino::desktop::installer
