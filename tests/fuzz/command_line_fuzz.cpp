// Cuts arbitrary command lines into tokens and parses them, checking that
// every token and value stays inside the buffer and that the options and the
// forwarded strings stay consistent. The same bytes, read as tokens separated
// by zeros, are quoted as the installer forwards them and must split back
// into the same tokens.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "installer_stub/command_line.h"
#include "installer_stub/parse_options.h"

namespace {

using namespace zevrino::desktop::installer;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Quoting `data` cut at its zeros and splitting the result gives the same
// tokens back.
void CheckQuotingRoundTrip(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> tokens;
  std::string line;
  const char* text = reinterpret_cast<const char*>(data);
  for (std::size_t start = 0; start <= size && tokens.size() < kMaxCommandLineTokens;) {
    const void* zero = std::memchr(text + start, '\0', size - start);
    const std::size_t end = zero == nullptr ? size : static_cast<const char*>(zero) - text;
    tokens.emplace_back(text + start, end - start);
    AppendQuotedArgument(tokens.back().c_str(), &line);
    start = end + 1;
  }
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  char* split[kMaxCommandLineTokens];
  const int count = SplitCommandLine(buffer.data(), split, kMaxCommandLineTokens);
  Check(count == static_cast<int>(tokens.size()));
  for (int i = 0; i < count; ++i) {
    Check(tokens[static_cast<std::size_t>(i)] == split[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= kCommandLineBufferSize) {
    return 0;
  }
  CheckQuotingRoundTrip(data, size);
  // The converted command line never holds a zero before its end.
  std::vector<char> buffer(data, data + size);
  for (char& c : buffer) {
    if (c == '\0') {
      c = ' ';
    }
  }
  buffer.push_back('\0');
  const char* const first = buffer.data();
  const char* const last = buffer.data() + buffer.size();

  char* tokens[kMaxCommandLineTokens];
  const int count = SplitCommandLine(buffer.data(), tokens, kMaxCommandLineTokens);
  Check(count >= 0 && count <= kMaxCommandLineTokens);
  for (int i = 0; i < count; ++i) {
    Check(tokens[i] >= first && tokens[i] < last);
    Check(tokens[i] + std::strlen(tokens[i]) < last);
    Check(i == 0 || tokens[i] > tokens[i - 1]);
  }

  const Options options = ParseOptions(tokens, count);
  for (const char* value : {options.target_path, options.log_file_path, options.mu_suffix}) {
    Check(value == nullptr || (value >= first && value < last));
  }
  Check(!(options.extract && options.update));
  Check(!options.update || options.target_path != nullptr);
  // Forwarded tokens are appended as blank, quote, quoted token, quote.
  const std::string& forwarded = options.forwarded.others;
  if (!forwarded.empty()) {
    Check(forwarded[0] == ' ' && forwarded[1] == '"');
    Check(forwarded.back() == '"');
  }
  Check((options.mu_suffix == nullptr) == options.forwarded.mu.empty());
  return 0;
}
