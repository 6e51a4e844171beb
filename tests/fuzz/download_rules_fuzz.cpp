// Fuzz target for what a server sends a download. Input: current address,
// Location and Content-Length text, separated by newlines, then a status in
// decimal digits. A redirect leads only from and to http or https addresses,
// never from https down to http; a length is the number its digits spell,
// between optional blanks, or 0; the same text as a Content-Range is a range
// inside its total or nothing, and only the exact rest of a file continues
// it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "webinstall/download_address.h"
#include "webinstall/download_loop.h"
#include "webinstall/download_resume.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

std::string Lower(std::string text) {
  for (char& c : text) {
    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zevrino::desktop::installer;
  std::string parts[4];
  std::size_t part = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    c == '\n' && part < 3 ? static_cast<void>(++part) : parts[part].push_back(c);
  }
  const std::string target = RedirectTarget(parts[0], parts[1]);
  Check(target.empty() || (IsDownloadAddress(parts[0]) && IsDownloadAddress(target)));
  Check(target.empty() || Lower(parts[0]).rfind("https:", 0) != 0 ||
        Lower(target).rfind("https:", 0) == 0);

  // The header value reaches the parser as a C string.
  const std::string length = parts[2].c_str();
  const std::uint64_t parsed = ParseContentLength(length.c_str());
  const std::size_t first = length.find_first_not_of(" \t");
  const std::size_t last = length.find_last_not_of(" \t");
  if (parsed != 0) {
    const std::string digits = length.substr(first, last - first + 1);
    Check(digits.find_first_not_of("0123456789") == std::string::npos);
    Check(std::to_string(parsed) ==
          digits.substr(std::min(digits.find_first_not_of('0'), digits.size() - 1)));
  }

  ContentRange range;
  if (ParseContentRange(length, &range)) {
    Check(range.first <= range.last && range.last < range.total);
    DownloadAnswer answer;
    answer.status = 206;
    answer.content_range = length;
    Check((JudgeResumeAnswer(answer, range.first, range.total) == ResumeAnswer::kRest) ==
          (range.first != 0 && range.last + 1 == range.total));
  }

  unsigned status = 0;
  for (char c : parts[3]) {
    status = status * 10 + static_cast<unsigned char>(c) % 10;
  }
  Check((ActionForStatus(status) == StatusAction::kBody) == (status == 200));
  return 0;
}
