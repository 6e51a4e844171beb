#pragma once
// What the code under test logs. A sink registered once per process takes
// every record at every level, as the file sink does; a capture sees the
// records logged from its construction (or its last Clear) on.

#include <cstddef>
#include <string>
#include <vector>

namespace zevrino::desktop::installer::testing {

class LogCapture {
 public:
  LogCapture();

  // The lines as the file sink writes them, each ended by "\n":
  //   "hh:mm:ss.mmm E [/f:61<spaces to 32 characters>] message"
  std::string Text() const;
  // "level line message" of each record, e.g. "2 685 Zevrino Installer - ...".
  std::vector<std::string> Records() const;
  // The number of lines of Text() that contain `fragment`.
  int Count(const std::string& fragment) const;
  // The number of records at `level_letter` from log line `line` whose
  // message is exactly `message`.
  int CountLines(char level_letter, int line, const std::string& message) const;
  void Clear();

 private:
  std::size_t start_ = 0;
};

}  // namespace zevrino::desktop::installer::testing
