#pragma once
// Test support for the file operations: a real scratch directory per test,
// file helpers, capture of the log, and directory links.

#include <windows.h>

#include <string>

namespace zevrino::desktop::installer::testing {

// A fresh directory under %TEMP%, removed with everything in it on
// destruction. A failing removal is reported as a test failure: it usually
// means a handle was leaked.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

void WriteTestFile(const std::wstring& path, const std::string& content);
// The file's bytes; "<missing>" when it cannot be opened.
std::string ReadTestFile(const std::wstring& path);
bool Exists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// Everything written to the log since construction. The log file sink is
// registered once per process.
class LogCapture {
 public:
  LogCapture();
  std::string Text() const;
  // Number of lines that contain `fragment`.
  int Count(const std::string& fragment) const;
  // Number of lines at `level_letter` from source line `line` whose message
  // is exactly `message`.
  int CountLines(char level_letter, int line, const std::string& message) const;

 private:
  std::size_t start_ = 0;
};

// Makes `link` a directory link to `target`. Real Windows: a symbolic link
// (needs developer mode or the privilege). Wine 8 accepts
// CreateSymbolicLinkW but creates nothing and cannot set reparse points, so
// there a Unix symbolic link is made with /bin/ln; Wine reports it as a
// directory with FILE_ATTRIBUTE_REPARSE_POINT. False when neither works.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target);
// The same for a link to a file. Wine shows a Unix link to a file as a plain
// file (no reparse attribute), which exercises the "follow links" path less
// but must still be reported as a regular file.
bool MakeFileLink(const std::wstring& link, const std::wstring& target);

}  // namespace zevrino::desktop::installer::testing
