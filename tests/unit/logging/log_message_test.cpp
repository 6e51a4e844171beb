// logging::log_message and the set-up calls on the process-wide logger.
//
// The logger lives for the whole test program, so every test registers file
// sinks of its own and reads only those files. The sinks keep their files
// open until the logger ends at exit, which Windows will not let us delete
// before: the files go into one directory that is built before the logger
// and therefore removed after it.
#include "logging/log.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logging/console_sink.h"
#include "logging/logger.h"
#include "tests/support/scratch_directory.h"
#include "text/error_state.h"

namespace {

using zevrino::desktop::installer::testing::kTextModeNewline;
using zevrino::desktop::installer::testing::ReadText;
using zevrino::desktop::installer::testing::ScratchDirectory;

// Removed after the logger, whose sinks hold their files until the end;
// gtest can no longer report a failed removal then.
const ScratchDirectory g_log_dir("zv-logging", ScratchDirectory::Removal::kUnchecked);

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  const std::string newline = kTextModeNewline;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find(newline, start)) != std::string::npos;
       start = end + newline.size()) {
    lines.push_back(bytes.substr(start, end - start));
  }
  EXPECT_EQ(bytes.size(), start) << "text after the last line feed";
  return lines;
}

bool IsTimestamp(const std::string& line) {
  if (line.size() < 12) {
    return false;
  }
  for (std::size_t i = 0; i < 12; ++i) {
    const bool separator = i == 2 || i == 5 || i == 8;
    const char expected_separator = i == 8 ? '.' : ':';
    if (separator ? line[i] != expected_separator
                  : !std::isdigit(static_cast<unsigned char>(line[i]))) {
      return false;
    }
  }
  return true;
}

TEST(LogMessage, WritesTheFormattedLineToTheFileSink) {
  const std::string path = g_log_dir.File("run.log");
  logging::add_file_sink(path.c_str(), false);
  logging::log_message(4, "", 712, "Zevrino Installer - %s %d.", "step", 3);
  logging::log_message(2, "", 40, "TransactedFileInstaller - failed with %lu", 5ul);

  const std::vector<std::string> lines = SplitLines(ReadText(path));
  ASSERT_EQ(2u, lines.size());
  EXPECT_TRUE(IsTimestamp(lines[0])) << lines[0];
  EXPECT_EQ(" I [/f:712                          ] Zevrino Installer - step 3.",
            lines[0].substr(12));
  EXPECT_EQ(" E [/f:40                           ] TransactedFileInstaller - failed with 5",
            lines[1].substr(12));
}

// A second registration under the same name keeps the first sink: for a file
// sink opened without appending, a new sink would truncate the log.
TEST(LogMessage, SecondRegistrationKeepsTheFirstSink) {
  const std::string path = g_log_dir.File("kept.log");
  logging::add_file_sink(path.c_str(), false);
  logging::log_message(4, "", 1, "kept");
  const std::shared_ptr<logging::sink> first = logging::get_logger()->find_sink(path);
  logging::add_file_sink(path.c_str(), false);
  EXPECT_EQ(first, logging::get_logger()->find_sink(path));
  EXPECT_EQ(1u, SplitLines(ReadText(path)).size());

  logging::add_console_sink(true);
  logging::add_console_sink(false);
  auto console =
      std::dynamic_pointer_cast<logging::console_sink>(logging::get_logger()->find_sink("console"));
  ASSERT_NE(nullptr, console);
  EXPECT_TRUE(console->colour());
  // Keep the rest of the run's output readable: only level 0 reaches it now.
  console->set_threshold("", 0);
}

TEST(LogMessage, UnopenableLogFileDropsLinesQuietly) {
  const std::string path = g_log_dir.File("no-such-dir") + "/x.log";
  logging::add_file_sink(path.c_str(), true);
  EXPECT_NE(nullptr, logging::get_logger()->find_sink(path));
  logging::log_message(2, "", 1, "nowhere to go");
  EXPECT_FALSE(zevrino::desktop::installer::testing::Exists(path));
}

// Callers log a failure and then read errno or the last-error value for their
// own result; the console and file calls of the sinks must not change them.
TEST(LogMessage, KeepsErrnoAndTheLastErrorValue) {
  const std::string path = g_log_dir.File("errors.log");
  logging::add_file_sink(path.c_str(), true);
  for (const char* format : {"short %d", "%3000d"}) {
    errno = EDOM;
    text::detail::WriteLastError(1234);
    const std::uint32_t last_error = text::detail::ReadLastError();  // 0 on Linux
    logging::log_message(3, "", 1, format, 7);
    // Last-error first: reading errno on Windows resets it.
    const std::uint32_t last_error_after = text::detail::ReadLastError();
    const int errno_after = errno;
    EXPECT_EQ(last_error, last_error_after) << format;
    EXPECT_EQ(EDOM, errno_after) << format;
  }
  EXPECT_EQ(2u, SplitLines(ReadText(path)).size());
}

// Lines from two threads are whole, each thread's lines keep their order, and
// two sinks see the records in the same order.
TEST(LogMessage, TwoThreadsGiveWholeLinesInOneOrder) {
  const std::string first_path = g_log_dir.File("first.log");
  const std::string second_path = g_log_dir.File("second.log");
  logging::add_file_sink(first_path.c_str(), false);
  logging::add_file_sink(second_path.c_str(), false);

  constexpr int kLines = 400;
  const std::string padding(150, '.');  // longer than one write of a line would need
  auto worker = [&](int thread) {
    for (int i = 0; i < kLines; ++i) {
      logging::log_message(4, "", thread, "thread %d line %d %s", thread, i, padding.c_str());
    }
  };
  std::thread a(worker, 1);
  std::thread b(worker, 2);
  a.join();
  b.join();

  const std::string first = ReadText(first_path);
  EXPECT_EQ(first, ReadText(second_path));
  const std::vector<std::string> lines = SplitLines(first);
  ASSERT_EQ(2u * kLines, lines.size());
  int next[3] = {0, 0, 0};
  for (const std::string& line : lines) {
    ASSERT_TRUE(IsTimestamp(line)) << line;
    int thread = 0;
    int index = 0;
    char tail[200] = {};
    ASSERT_EQ(3, std::sscanf(line.c_str() + 50, "thread %d line %d %199s", &thread, &index, tail))
        << line;
    ASSERT_TRUE(thread == 1 || thread == 2) << line;
    EXPECT_EQ(next[thread]++, index) << line;
    EXPECT_EQ(padding, tail);
  }
}

// Statics destroyed after the logger has ended may still log: their lines are
// dropped and the process ends normally.
struct LogsWhenDestroyed {
  ~LogsWhenDestroyed() {
    logging::log_message(4, "", 2, "after the end");
    std::fflush(stdout);
  }
};

TEST(LogMessageDeathTest, LinesAfterTheLoggerEndedAreDropped) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs this body again from the start, so the path must not
  // depend on the run (a scratch directory would differ); both remove the file first.
  const std::string path =
      (std::filesystem::temp_directory_path() / "zv-logging-exit-test.log").u8string();
  std::filesystem::remove(std::filesystem::u8path(path));
  EXPECT_EXIT(
      {
        // Built before the logger, so destroyed after it.
        static LogsWhenDestroyed late;
        logging::add_file_sink(path.c_str(), false);
        logging::log_message(4, "", 1, "before the end");
        std::exit(3);
      },
      testing::ExitedWithCode(3), "");
  const std::vector<std::string> lines = SplitLines(ReadText(path));
  std::filesystem::remove(std::filesystem::u8path(path));
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("before the end"));
}

}  // namespace
