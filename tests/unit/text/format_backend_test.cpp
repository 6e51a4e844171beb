// The passes and failure paths of text::str_format, through a backend that
// records what the formatter asks of the C runtime and can make any step fail.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/error_state.h"
#include "text/format.h"
#include "text/format_backend.h"

namespace {

using text::detail::FormatBackend;

// What the fake backend saw and how it should answer. One per test, reached
// through a static pointer because the backend is a table of plain functions.
struct Script {
  std::vector<std::size_t> pass_sizes;  // buffer size of each vformat call
  std::vector<int> errno_at_pass;       // errno when each pass started
  std::vector<std::uint32_t> last_error_at_pass;
  std::vector<std::size_t> allocations;  // sizes of the blocks handed out
  int releases = 0;
  // Overrides of the real results, by pass; an empty entry means "real".
  std::vector<int> results;
  int fail_errno = 0;  // errno set with a negative result
  bool fail_allocation = false;
};
Script* g_script = nullptr;

int ScriptedVformat(char* buffer, std::size_t size, const char* format, va_list args) {
  Script& s = *g_script;
  const std::size_t pass = s.pass_sizes.size();
  const std::uint32_t last_error = text::detail::ReadLastError();  // before errno, see Run
  const int error = errno;
  s.pass_sizes.push_back(size);
  s.errno_at_pass.push_back(error);
  s.last_error_at_pass.push_back(last_error);
  const int real = text::detail::CrtFormatBackend().vformat(buffer, size, format, args);
  if (pass < s.results.size()) {
    if (s.results[pass] < 0) {
      errno = s.fail_errno;
      text::detail::WriteLastError(87);  // the runtime may touch it too
    }
    return s.results[pass];
  }
  return real;
}

void* ScriptedAllocate(std::size_t size) {
  if (g_script->fail_allocation) {
    return nullptr;
  }
  g_script->allocations.push_back(size);
  return std::malloc(size);
}

void ScriptedRelease(void* block) {
  ++g_script->releases;
  std::free(block);
}

constexpr FormatBackend kScripted{ScriptedVformat, ScriptedAllocate, ScriptedRelease};

class StrFormatPasses : public testing::Test {
 protected:
  void SetUp() override { g_script = &script_; }
  void TearDown() override { g_script = nullptr; }

  // Formats with the scripted backend and returns what went to stderr.
  std::string Run(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    testing::internal::CaptureStderr();
    // The caller's error values, set after capturing (which opens files).
    errno = EDOM;
    text::detail::WriteLastError(1234);
    last_error_before_ = text::detail::ReadLastError();  // 0 on Linux
    text::detail::StrFormatWith(kScripted, out, format, args);
    // Before anything else touches them (reading errno on msvcrt resets the
    // last-error value, capturing stderr calls the file system).
    last_error_after_ = text::detail::ReadLastError();
    errno_after_ = errno;
    va_end(args);
    return testing::internal::GetCapturedStderr();
  }

  Script script_;
  std::uint32_t last_error_before_ = 0;
  std::uint32_t last_error_after_ = 0;
  int errno_after_ = 0;
};

// 1,023 bytes fit the stack buffer with their NUL; 1,024 need a second pass
// into a block of exactly 1,025 bytes.
TEST_F(StrFormatPasses, SecondPassOnlyBeyondTheStackBuffer) {
  struct Expectation {
    int width;
    std::vector<std::size_t> passes;
  };
  const Expectation table[] = {
      {1023, {1024}},
      {1024, {1024, 1025}},
      {5000, {1024, 5001}},
  };
  for (const Expectation& e : table) {
    script_ = Script();
    std::string out = "<";
    EXPECT_EQ("", Run(out, "%*d", e.width, 7));
    EXPECT_EQ(e.passes, script_.pass_sizes) << e.width;
    EXPECT_EQ(static_cast<std::size_t>(e.width) + 1, out.size());
    EXPECT_EQ("7", out.substr(out.size() - 1));
    const std::size_t heap_passes = e.passes.size() - 1;
    EXPECT_EQ(heap_passes, script_.allocations.size());
    EXPECT_EQ(static_cast<int>(heap_passes), script_.releases);
  }
}

// Formatting starts from errno 0 and last-error 0, so the error message names
// the runtime's failure and not something the caller left behind.
TEST_F(StrFormatPasses, EachPassStartsFromClearedErrorValues) {
  std::string out;
  Run(out, "%1500d", 1);
  ASSERT_EQ(2u, script_.errno_at_pass.size());
  for (std::size_t pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(0, script_.errno_at_pass[pass]);
    EXPECT_EQ(0u, script_.last_error_at_pass[pass]);
  }
  EXPECT_EQ(EDOM, errno_after_);
  EXPECT_EQ(last_error_before_, last_error_after_);
}

struct FailureCase {
  const char* name;
  std::vector<int> results;
  bool fail_allocation;
  std::string message;
  std::size_t passes;
};

// Every failure leaves the string and the caller's error values as they were
// and writes exactly one message, without a line feed.
TEST_F(StrFormatPasses, FailuresAppendNothingAndKeepErrorValues) {
  const std::string error_text =
      std::string("text::format(): Unable to printf the requested string due to error '") +
      std::strerror(EILSEQ) + "'.";
  const FailureCase cases[] = {
      {"first pass fails", {-1}, false, error_text, 1},
      {"second pass fails", {2000, -1}, false, error_text, 2},
      {"allocation fails",
       {2000},
       true,
       "text::format(): Unable to allocate the requested string due to size.",
       1},
      {"second pass needs more than the limit",
       {2000, 0x2000000},
       false,
       "text::format(): Unable to printf the requested string due to size.",
       2},
  };
  for (const FailureCase& c : cases) {
    script_ = Script();
    script_.results = c.results;
    script_.fail_errno = EILSEQ;
    script_.fail_allocation = c.fail_allocation;
    std::string out = "before";

    EXPECT_EQ(c.message, Run(out, "%s", "text")) << c.name;
    EXPECT_EQ("before", out) << c.name;
    EXPECT_EQ(EDOM, errno_after_) << c.name;
    EXPECT_EQ(last_error_before_, last_error_after_) << c.name;
    EXPECT_EQ(c.passes, script_.pass_sizes.size()) << c.name;
    EXPECT_EQ(script_.allocations.size(), static_cast<std::size_t>(script_.releases)) << c.name;
  }
}

// When the arguments need more on the second pass than the first pass
// measured, the block is released and a larger one tried with the new length.
TEST_F(StrFormatPasses, GrowsWhenTheSecondPassNeedsMore) {
  script_.results = {1100, 1500};  // claim a short text first, then a longer one
  std::string out;
  EXPECT_EQ("", Run(out, "%1500d", 3));
  EXPECT_EQ((std::vector<std::size_t>{1024, 1101, 1501}), script_.pass_sizes);
  EXPECT_EQ((std::vector<std::size_t>{1101, 1501}), script_.allocations);
  EXPECT_EQ(2, script_.releases);
  EXPECT_EQ(1500u, out.size());
}

}  // namespace
