// Fuzz target for what a server sends the download: the status, the
// Location of a redirect and the Content-Length. Input: current address,
// Location and Content-Length text, separated by newlines, then a status.
// A redirect leads only to an http or https address, never from https down
// to http, and keeps going only while it names such an address; a length is
// either the decimal number the text spells or 0; the same text as a
// Content-Range is a range inside its total or nothing, and only the exact
// rest of a file continues it.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "webinstall/download_address.h"
#include "webinstall/download_loop.h"
#include "webinstall/download_resume.h"

namespace {

using namespace zevrino::desktop::installer;

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

std::string Next(const std::string& text, std::size_t* at) {
  const std::size_t end = text.find('\n', *at);
  const std::string part =
      text.substr(*at, end == std::string::npos ? std::string::npos : end - *at);
  *at = end == std::string::npos ? text.size() : end + 1;
  return part;
}

bool StartsWithIgnoringCase(const std::string& text, const char* prefix) {
  for (std::size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) !=
                                static_cast<unsigned char>(prefix[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::size_t at = 0;
  const std::string current = Next(text, &at);
  const std::string location = Next(text, &at);
  // The header value reaches the parser as a C string.
  const std::string length = Next(text, &at).c_str();
  unsigned status = 0;
  for (; at < text.size(); ++at) {
    status = status * 10 + static_cast<unsigned char>(text[at]) % 10;
  }

  const std::string target = RedirectTarget(current, location);
  if (!target.empty()) {
    Check(IsDownloadAddress(current) && IsDownloadAddress(target));
    Check(!StartsWithIgnoringCase(current, "https:") || StartsWithIgnoringCase(target, "https:"));
  }
  if (!IsDownloadAddress(current)) {
    Check(target.empty());
  }

  const std::uint64_t parsed = ParseContentLength(length.c_str());
  if (parsed != 0) {
    // Only digits between optional blanks, and they spell the number.
    std::string digits;
    for (char c : length) {
      Check(c == ' ' || c == '\t' || (c >= '0' && c <= '9'));
      if (c >= '0' && c <= '9') {
        digits += c;
      }
    }
    while (digits.size() > 1 && digits[0] == '0') {
      digits.erase(0, 1);
    }
    Check(digits == std::to_string(parsed));
  }

  ContentRange range;
  if (ParseContentRange(length, &range)) {
    Check(range.first <= range.last && range.last < range.total);
    const DownloadAnswer answer = {206, 0, length};
    Check((JudgeResumeAnswer(answer, range.first, range.total) == ResumeAnswer::kRest) ==
          (range.first != 0 && range.last + 1 == range.total));
  }

  const StatusAction action = ActionForStatus(status);
  Check((action == StatusAction::kBody) == (status == 200));
  return 0;
}
