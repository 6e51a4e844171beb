// The console sink writing to a real console screen buffer: non-ASCII text
// must arrive as the characters it names, whatever the console's code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "logging/console_sink.h"

namespace {

// The test program gets a console of its own for the test's length, so that
// standard output is a screen buffer that can be read back.
class OwnConsole {
 public:
  OwnConsole() {
    saved_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::FreeConsole();
    allocated_ = ::AllocConsole() != 0;
    if (allocated_) {
      buffer_ =
          ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
      ::SetStdHandle(STD_OUTPUT_HANDLE, buffer_);
    }
  }
  ~OwnConsole() {
    if (buffer_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(buffer_);
    }
    ::FreeConsole();
    ::SetStdHandle(STD_OUTPUT_HANDLE, saved_);
  }
  OwnConsole(const OwnConsole&) = delete;
  OwnConsole& operator=(const OwnConsole&) = delete;

  bool ok() const { return allocated_ && buffer_ != INVALID_HANDLE_VALUE; }

  // The characters of the screen buffer's first `rows` rows, each row
  // without its trailing blanks, joined by "\n".
  std::wstring Text(SHORT rows) const {
    CONSOLE_SCREEN_BUFFER_INFO info;
    std::wstring text;
    if (!::GetConsoleScreenBufferInfo(buffer_, &info)) {
      return text;
    }
    std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y < rows; ++y) {
      DWORD read = 0;
      ::ReadConsoleOutputCharacterW(buffer_, row.data(), static_cast<DWORD>(row.size()),
                                    COORD{0, y}, &read);
      std::wstring line = row.substr(0, read);
      line.erase(line.find_last_not_of(L' ') + 1);
      text += line + L"\n";
    }
    return text;
  }

 private:
  HANDLE saved_ = nullptr;
  HANDLE buffer_ = INVALID_HANDLE_VALUE;
  bool allocated_ = false;
};

TEST(ConsoleWin, NonAsciiTextReachesTheConsoleAsCharacters) {
  OwnConsole console;
  ASSERT_TRUE(console.ok()) << ::GetLastError();
  // An ANSI console code page: the UTF-8 bytes written as they are would
  // show as "GrÃ¼ÃŸe".
  ::SetConsoleOutputCP(1252);
  {
    logging::console_sink sink(true, logging::make_stdout_console());
    logging::record r;
    r.level = 2;
    r.file = "/f";
    r.line = 7;
    r.message =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x9C\x93 \xCE\xA9";
    sink.write(r);
  }
  const std::wstring text = console.Text(1);
  EXPECT_NE(text.find(L"] Gr\u00FC\u00DFe \u2713 \u03A9"), std::wstring::npos)
      << std::string(text.begin(), text.end());
  // The colour codes changed attributes, never showed as characters.
  EXPECT_EQ(text.find(L'\x01'), std::wstring::npos);
}

}  // namespace
