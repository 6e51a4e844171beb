// Standard output through the Win32 console calls.
#include <io.h>
#include <windows.h>

#include "logging/console_sink.h"

namespace logging {
namespace {

// A console handle is always a character device. Asking GetFileType first
// answers "not a console" for a redirected file or pipe without the console
// calls, which cost tens of microseconds each under Wine.
bool MayBeConsole(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         ::GetFileType(handle) == FILE_TYPE_CHAR;
}

class Win32Console : public ConsoleApi {
 public:
  std::uint16_t read_default_attributes() override {
    const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!MayBeConsole(handle) || !::GetConsoleScreenBufferInfo(handle, &info)) {
      return 0;
    }
    return info.wAttributes;
  }

  bool open_stdout() override {
    handle_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return MayBeConsole(handle_) && ::GetConsoleMode(handle_, &mode) != 0;
  }

  void set_attributes(std::uint16_t attributes) override {
    ::SetConsoleTextAttribute(handle_, attributes);
  }

  void write(const char* data, std::size_t size, bool console) override {
    // The standard handle is not owned here: it stays open for the process.
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
      return;
    }
    DWORD written = 0;
    if (console) {
      // WriteConsoleA would take the bytes in the console's code page, which
      // is not UTF-8 on most systems. A piece never splits a sequence, so it
      // converts on its own; invalid bytes become U+FFFD.
      static_assert(kMaxWritePiece <= 8192, "the buffer holds one piece");
      wchar_t wide[kMaxWritePiece];
      const int length = ::MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(size), wide,
                                               static_cast<int>(kMaxWritePiece));
      if (length > 0) {
        ::WriteConsoleW(handle_, wide, static_cast<DWORD>(length), &written, nullptr);
      }
    } else {
      ::WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr);
    }
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

std::unique_ptr<ConsoleApi> make_stdout_console() {
  return std::make_unique<Win32Console>();
}

bool stdout_is_terminal() {
  return ::_isatty(1) != 0;
}

}  // namespace logging
