// Standard output through the Win32 console calls.
#include <io.h>
#include <windows.h>

#include "logging/console_sink.h"

namespace logging {
namespace {

class Win32Console : public ConsoleApi {
 public:
  std::uint16_t read_default_attributes() override {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
      return 0;
    }
    return info.wAttributes;
  }

  bool open_stdout() override {
    handle_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
           ::GetConsoleMode(handle_, &mode) != 0;
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
      ::WriteConsoleA(handle_, data, static_cast<DWORD>(size), &written, nullptr);
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
