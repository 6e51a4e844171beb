// The console sink writing to a real redirected standard output.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "logging/console_sink.h"
#include "tests/support/scratch_directory.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using zevrino::desktop::installer::testing::ReadText;
using zevrino::desktop::installer::testing::ScratchDirectory;

// Points standard output at a file for its lifetime.
class StdoutToFile {
 public:
  explicit StdoutToFile(const std::string& path) {
    std::fflush(stdout);
#if defined(_WIN32)
    const std::wstring wide = std::filesystem::u8path(path).wstring();
    file_ = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    saved_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, file_);
#else
    saved_ = ::dup(1);
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 1);
    ::close(file);
#endif
  }
  ~StdoutToFile() {
#if defined(_WIN32)
    ::SetStdHandle(STD_OUTPUT_HANDLE, saved_);
    ::CloseHandle(file_);
#else
    ::dup2(saved_, 1);
    ::close(saved_);
#endif
  }
  StdoutToFile(const StdoutToFile&) = delete;
  StdoutToFile& operator=(const StdoutToFile&) = delete;

 private:
#if defined(_WIN32)
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE saved_ = nullptr;
#else
  int saved_ = -1;
#endif
};

logging::record Make(int level, int line, std::string message) {
  logging::record r;
  r.level = level;
  r.file = "/f";
  r.line = line;
  r.message = std::move(message);
  return r;
}

// Redirected output gets the plain line: colour codes become attribute
// changes (which a file ignores), never bytes, and the line feed stays a
// single LF (WriteFile writes bytes as they are).
TEST(ConsoleRedirect, ColouredLinesReachARedirectedStdoutAsPlainText) {
  ScratchDirectory dir;
  const std::string path = dir.File("stdout.txt");
  const std::string long_message(20000, 'z');
  {
    StdoutToFile redirect(path);
    logging::console_sink sink(true, logging::make_stdout_console());
    sink.write(Make(2, 5, "red"));
    sink.write(Make(4, 6, long_message));
  }
  EXPECT_EQ(
      "00:00:00.000 E [/f:5                            ] red\n"
      "00:00:00.000 I [/f:6                            ] " +
          long_message + "\n",
      ReadText(path));
}

#if defined(_WIN32)
// A GUI process started without standard handles: lines go nowhere, quietly,
// and the sink finds a standard output that is set later.
TEST(ConsoleRedirect, MissingStandardOutputIsIgnoredUntilOneIsSet) {
  ScratchDirectory dir;
  const std::string path = dir.File("later.txt");
  const HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
  logging::console_sink sink(true, logging::make_stdout_console());
  for (const HANDLE missing : {HANDLE{nullptr}, INVALID_HANDLE_VALUE}) {
    ::SetStdHandle(STD_OUTPUT_HANDLE, missing);
    sink.write(Make(2, 1, "lost"));
  }
  ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
  {
    StdoutToFile redirect(path);
    sink.write(Make(4, 2, "found"));
  }
  EXPECT_EQ("00:00:00.000 I [/f:2                            ] found\n", ReadText(path));
}
#endif

}  // namespace
