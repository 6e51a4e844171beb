#pragma once
// A fresh directory per test, removed at the end (a failing removal shows a
// file that was left open).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace logging_test {

class TempDir {
 public:
  // A directory that outlives the tests (a static) cannot report a failed
  // removal through gtest: pass false.
  explicit TempDir(bool check_removal = true) : check_removal_(check_removal) {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("zv-logging-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    if (check_removal_) {
      EXPECT_FALSE(error) << error.message();
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The UTF-8 path of `name` (UTF-8 itself) inside the directory.
  std::string File(const std::string& name) const {
    return (path_ / std::filesystem::u8path(name)).u8string();
  }

 private:
  std::filesystem::path path_;
  bool check_removal_;
};

// The bytes of a file named by a UTF-8 path; empty when it cannot be read.
inline std::string ReadBytes(const std::string& utf8_path) {
  std::ifstream in(std::filesystem::u8path(utf8_path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& utf8_path, const std::string& bytes) {
  std::ofstream out(std::filesystem::u8path(utf8_path), std::ios::binary);
  out << bytes;
}

inline bool Exists(const std::string& utf8_path) {
  return std::filesystem::exists(std::filesystem::u8path(utf8_path));
}

// How a line feed is stored by the file sink: text mode on Windows.
#if defined(_WIN32)
inline constexpr const char* kNewline = "\r\n";
#else
inline constexpr const char* kNewline = "\n";
#endif

}  // namespace logging_test
