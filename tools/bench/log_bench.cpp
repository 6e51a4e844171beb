// Cost of one logged line: logging::log_message through the file sink (one
// write and flush per line) and through the console sink with standard output
// redirected to a file (WriteFile per run on Windows, write(2) on Linux).
//
//   log_bench [lines]        prints microseconds per line for both sinks
//
// Formatting happens before the logger's lock, so a second thread logging at
// the same time is measured too: it shows how much of the cost is serialised.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "logging/log.h"
#include "logging/logger.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Points standard output at a file for its lifetime.
class StdoutToFile {
 public:
  explicit StdoutToFile(const std::filesystem::path& path) {
    std::fflush(stdout);
#if defined(_WIN32)
    file_ = ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

 private:
#if defined(_WIN32)
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE saved_ = nullptr;
#else
  int saved_ = -1;
#endif
};

// Logs `lines` typical lines on `threads` threads; returns microseconds per line.
double MeasureLines(int lines, int threads) {
  const auto start = Clock::now();
  auto work = [lines, threads](int id) {
    for (int i = id; i < lines; i += threads) {
      logging::log_message(logging::kLevelInfo, "", 712,
                           "TransactedFileInstaller - Staged file '%s' (%d of %d, %zu bytes).",
                           "C:\\Users\\user\\AppData\\Roaming\\Zevrino\\locales\\de.pak", i, lines,
                           static_cast<std::size_t>(123456));
    }
  };
  std::thread others[8];
  for (int t = 1; t < threads; ++t) {
    others[t] = std::thread(work, t);
  }
  work(0);
  for (int t = 1; t < threads; ++t) {
    others[t].join();
  }
  const std::chrono::duration<double, std::micro> elapsed = Clock::now() - start;
  return elapsed.count() / lines;
}

// Removes the directory when statics are destroyed, after the logger has
// ended and closed the log (Windows cannot delete an open file).
struct RemoveAtExit {
  std::filesystem::path dir;
  ~RemoveAtExit() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 20000;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("zv-log-bench-" + std::to_string(std::rand()));
  std::filesystem::create_directories(dir);
  static RemoveAtExit cleanup{dir};  // built before the logger, destroyed after it
  const std::string log_path = (dir / "bench.log").u8string();

  logging::add_file_sink(log_path.c_str(), false);
  MeasureLines(lines / 10, 1);  // warm up: file created, caches filled
  const double file_one = MeasureLines(lines, 1);
  const double file_two = MeasureLines(lines, 2);

  // The console phase: the file sink now accepts only level 0, so the
  // level-4 lines go to the console alone.
  double console_one = 0;
  double console_two = 0;
  {
    StdoutToFile redirect(dir / "stdout.txt");
    logging::add_console_sink(false);
    logging::get_logger()->find_sink(log_path)->set_threshold("", 0);
    MeasureLines(lines / 10, 1);
    console_one = MeasureLines(lines, 1);
    console_two = MeasureLines(lines, 2);
  }
  const auto file_bytes = std::filesystem::file_size(dir / "bench.log");
  const auto console_bytes = std::filesystem::file_size(dir / "stdout.txt");

  const int file_lines = lines / 10 + 2 * lines;
  std::printf("lines per measurement: %d, %d bytes per line on disk\n", lines,
              static_cast<int>(file_bytes / static_cast<unsigned long long>(file_lines)));
  std::printf("file sink (write + flush per line): %.2f us/line, 2 threads %.2f us/line\n",
              file_one, file_two);
  std::printf("console sink, stdout redirected:    %.2f us/line, 2 threads %.2f us/line\n",
              console_one, console_two);
  std::printf("stdout bytes: %llu\n", static_cast<unsigned long long>(console_bytes));
  return 0;
}
