// Standard output on Linux, for the host build: write(2) to descriptor 1.
// Console attributes are mapped to ANSI escape sequences when descriptor 1
// is a terminal and dropped otherwise, so redirected output holds the plain
// text, as it does on Windows.
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "logging/console_sink.h"

namespace logging {
namespace {

// The attributes of a terminal without colour changes: white on black.
constexpr std::uint16_t kTerminalDefault = 0x07;

void WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(1, data, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// ANSI colour index of a 3-bit Windows colour (blue and red swap places).
int AnsiIndex(unsigned value) {
  return (value & 4 ? 1 : 0) | (value & 2 ? 2 : 0) | (value & 1 ? 4 : 0);
}

class PosixConsole : public ConsoleApi {
 public:
  std::uint16_t read_default_attributes() override {
    return ::isatty(1) != 0 ? kTerminalDefault : 0;
  }

  bool open_stdout() override {
    terminal_ = ::isatty(1) != 0;
    return terminal_;
  }

  void set_attributes(std::uint16_t attributes) override {
    if (!terminal_) {
      return;
    }
    const unsigned foreground = attributes & 0x0F;
    const unsigned background = (attributes >> 4) & 0x0F;
    char sequence[32];
    const int size = std::snprintf(sequence, sizeof sequence, "\x1b[0;%d;%dm",
                                   (foreground & 8 ? 90 : 30) + AnsiIndex(foreground),
                                   (background & 8 ? 100 : 40) + AnsiIndex(background));
    if (attributes == kTerminalDefault) {
      WriteAll("\x1b[0m", 4);
    } else if (size > 0) {
      WriteAll(sequence, static_cast<std::size_t>(size));
    }
  }

  void write(const char* data, std::size_t size, bool) override { WriteAll(data, size); }

 private:
  bool terminal_ = false;
};

}  // namespace

std::unique_ptr<ConsoleApi> make_stdout_console() {
  return std::make_unique<PosixConsole>();
}

bool stdout_is_terminal() {
  return ::isatty(1) != 0;
}

}  // namespace logging
