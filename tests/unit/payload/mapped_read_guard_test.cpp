// Which faults end a guarded read of a mapped file: a read of its range
// reported either way a vanished file is reported, nothing else.
#include "payload/mapped_read_guard.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(MappedReadGuard, OnlyAReadInsideTheRangeCounts) {
  constexpr std::uintptr_t kBegin = 0x10000, kEnd = 0x30000, kWrite = 1, kExecute = 8;
  const struct {
    std::uint32_t code;
    std::uintptr_t access;
    std::uintptr_t address;
    bool counts;
  } cases[] = {
      {kInPageError, kReadAccess, kBegin, true},           // Windows
      {kAccessViolation, kReadAccess, kEnd - 1, true},     // Wine
      {kInPageError, kReadAccess, kEnd, false},            // just after the view
      {kAccessViolation, kReadAccess, kBegin - 1, false},  // just before it
      {kAccessViolation, kReadAccess, 0, false},           // a null pointer
      {kAccessViolation, kWrite, kBegin + 8, false},       // a read-only view is never written
      {kInPageError, kExecute, kBegin + 8, false},
      {0xC00000FD, kReadAccess, kBegin + 8, false},  // a stack overflow
      {0x80000003, kReadAccess, kBegin + 8, false},  // a breakpoint
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFaultOfGuardedRead(c.code, c.access, c.address, kBegin, kEnd), c.counts)
        << std::hex << c.code << " " << c.access << " " << c.address;
  }
}

TEST(MappedReadGuard, AReadWithoutFaultRunsToItsEnd) {
  const unsigned char view[3] = {1, 2, 3};
  int sum = 0;
  EXPECT_TRUE(GuardMappedRead(view, view + 3, [&] {
    for (unsigned char byte : view) {
      sum += byte;
    }
  }));
  EXPECT_EQ(sum, 6);
}

}  // namespace
}  // namespace zevrino::desktop::installer
