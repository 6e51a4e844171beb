#include "installer_stub/command_line.h"

#include <cstddef>
#include <cstring>

namespace zevrino::desktop::installer {
namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t';
}

// Reads one token from `read` into `write` (never ahead of `read`) and
// returns where reading stopped: at the separator or the zero that ended
// the token.
char* ReadToken(char* read, char*& write) {
  // Quotes seen since the quoted part opened: 0 outside a quoted part, 1
  // inside; 2 and 3 exist only within a run of quotes.
  int quotes = 0;
  while (*read != '\0' && (quotes != 0 || !IsSeparator(*read))) {
    std::size_t backslashes = 0;
    while (read[backslashes] == '\\') {
      ++backslashes;
    }
    if (read[backslashes] != '"') {
      // Backslashes before anything but a quote, or an ordinary character.
      const std::size_t length = backslashes != 0 ? backslashes : 1;
      std::memmove(write, read, length);
      write += length;
      read += length;
      continue;
    }
    std::memset(write, '\\', backslashes / 2);
    write += backslashes / 2;
    read += backslashes + 1;
    if (backslashes % 2 == 1) {
      *write++ = '"';
    } else {
      ++quotes;
    }
    for (; *read == '"'; ++read) {
      if (++quotes == 3) {
        *write++ = '"';
        quotes = 0;
      }
    }
    if (quotes == 2) {
      quotes = 0;
    }
  }
  return read;
}

// What the C locale's toupper does: only a to z change. Written out rather
// than asked of std::locale, whose facets would bring libstdc++'s whole
// locale machinery into the executable.
char ToUpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

int SplitCommandLine(char* buffer, char** tokens, int limit) {
  int count = 0;
  char* read = buffer;
  while (count < limit) {
    while (IsSeparator(*read)) {
      ++read;
    }
    if (*read == '\0') {
      break;
    }
    char* write = read;
    tokens[count++] = write;
    read = ReadToken(read, write);
    const bool ended = *read == '\0';
    // The separator is passed before the zero is written: `write` may stand
    // on it.
    if (!ended) {
      ++read;
    }
    *write = '\0';
    if (ended) {
      break;
    }
  }
  return count;
}

void AppendQuotedArgument(const char* token, std::string* out) {
  out->append(" \"");
  std::size_t backslashes = 0;
  for (const char* p = token;; ++p) {
    if (*p == '\\') {
      ++backslashes;
      continue;
    }
    // Before a quote of the token, or before the closing quote, every
    // backslash is doubled; elsewhere backslashes stand for themselves.
    if (*p == '"' || *p == '\0') {
      out->append(backslashes, '\\');
    }
    out->append(backslashes, '\\');
    backslashes = 0;
    if (*p == '\0') {
      break;
    }
    if (*p == '"') {
      out->push_back('\\');
    }
    out->push_back(*p);
  }
  out->push_back('"');
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
  for (; *rest != '\0'; ++rest, ++name) {
    if (ToUpperAscii(*rest) != ToUpperAscii(*name)) {
      return false;
    }
  }
  return true;
}

}  // namespace zevrino::desktop::installer
