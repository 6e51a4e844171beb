#pragma once
// Reads the start logs that recorder.exe and the Zevrino.exe stand-in write
// beside themselves ("<program>.log"): one line per start,
//   <command line as received> TAB <current directory> CR LF
// and the arguments they were started with ("<program>.argv", see
// tests/e2e/windows/start_record_win.h).
// Platform-free: host tests read the files through the prefix's folders,
// Windows test programs read them directly.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/wait.h"

namespace zevrino::e2e {

using desktop::installer::testing::WaitUntil;

struct StartRecord {
  std::string command_line;
  std::string directory;

  bool operator==(const StartRecord& other) const {
    return command_line == other.command_line && directory == other.directory;
  }
};

// The lines of `text` that end in CR LF, without it; a last line without
// CR LF is still being written and is left out.
std::vector<std::string> CompleteLines(const std::string& text);

// The records of a log's text; a last line without CR LF is still being
// written and is left out.
std::vector<StartRecord> ParseStartLog(const std::string& text);

// The records of the log file at `path`; none when it does not exist.
std::vector<StartRecord> ReadStartLog(const std::filesystem::path& path);

// Waits until the log at `path` holds at least `count` records, polling
// until `timeout`. Returns the records found (fewer on time-out).
std::vector<StartRecord> WaitForStarts(const std::filesystem::path& path, std::size_t count,
                                       std::chrono::milliseconds timeout);

// The arguments of every start of the program at `program`, as the started
// program's CommandLineToArgvW split them ("<program>.argv"), oldest first.
std::vector<std::vector<std::string>> ReadStartArguments(const std::filesystem::path& program);

}  // namespace zevrino::e2e
