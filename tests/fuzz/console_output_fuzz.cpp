// The console writer's scan of colour sequences on arbitrary bytes: every
// byte before the end of the text that is not part of a sequence is written
// exactly once, in order, in pieces of at most 8,192 bytes, and attributes
// are applied only when they change.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "logging/console_output.h"

namespace {

class CheckingConsole : public logging::ConsoleApi {
 public:
  std::uint16_t read_default_attributes() override { return 0x07; }
  bool open_stdout() override { return true; }
  void set_attributes(std::uint16_t attributes) override {
    if (applied_ && attributes == last_) {
      std::abort();  // an attribute call without a change
    }
    applied_ = true;
    last_ = attributes;
  }
  void write(const char* data, std::size_t size, bool) override {
    if (size == 0 || size > logging::kMaxWritePiece) {
      std::abort();
    }
    written.append(data, size);
  }

  std::string written;

 private:
  bool applied_ = false;
  std::uint16_t last_ = 0;
};

// The text bytes that the writer must emit, computed independently.
std::string ExpectedText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\0') {
      break;
    }
    if (text[i] != '\x01') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 1 >= text.size() || text[i + 1] == '\0') {
      break;
    }
    ++i;  // skip the code byte
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckingConsole console;
  logging::ColourConsoleWriter writer(console);
  writer.write(text);
  writer.write(text);  // the second line starts from the state the first left
  const std::string expected = ExpectedText(text);
  if (console.written != expected + expected) {
    std::abort();
  }
  return 0;
}
