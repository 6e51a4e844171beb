#include "tests/e2e/harness/start_log.h"

#include <algorithm>

#include "tests/support/files.h"

namespace zevrino::e2e {

using desktop::installer::testing::ReadText;

std::vector<std::string> CompleteLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find("\r\n"); end != std::string::npos;
       start = end + 2, end = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::vector<StartRecord> ParseStartLog(const std::string& text) {
  std::vector<StartRecord> records;
  for (const std::string& line : CompleteLines(text)) {
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string::npos) {
      records.push_back({line, ""});
    } else {
      records.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
  }
  return records;
}

std::vector<StartRecord> ReadStartLog(const std::filesystem::path& path) {
  return ParseStartLog(ReadText(path));
}

std::vector<StartRecord> WaitForStarts(const std::filesystem::path& path, std::size_t count,
                                       std::chrono::milliseconds timeout) {
  std::vector<StartRecord> records;
  WaitUntil(
      [&] {
        records = ReadStartLog(path);
        return records.size() >= count;
      },
      timeout);
  return records;
}

std::vector<std::vector<std::string>> ReadStartArguments(const std::filesystem::path& program) {
  std::filesystem::path path = program;
  path += ".argv";
  std::vector<std::vector<std::string>> starts;
  for (const std::string& line : CompleteLines(ReadText(path))) {
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start <= line.size() && !line.empty()) {
      const std::size_t end = std::min(line.find(' ', start), line.size());
      std::string argument;
      for (std::size_t i = start + 1; i + 1 < end; i += 2) {
        argument += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
      }
      arguments.push_back(argument);
      start = end + 1;
    }
    starts.push_back(arguments);
  }
  return starts;
}

}  // namespace zevrino::e2e
