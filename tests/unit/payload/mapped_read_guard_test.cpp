// Which faults end a guarded read of a mapped file: a read inside its range,
// reported either way a vanished file is reported; nothing else.
#include "payload/mapped_read_guard.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(MappedReadGuard, OnlyAReadInsideTheRangeCounts) {
  constexpr std::uintptr_t kBegin = 0x10000, kEnd = 0x30000, kWrite = 1, kExecute = 8;
  const struct {
    std::uint32_t code;
    std::uintptr_t access, address;
    bool counts;
  } cases[] = {
      {kInPageError, kReadAccess, kBegin, true}, {kAccessViolation, kReadAccess, kEnd - 1, true},
      {kInPageError, kReadAccess, kEnd, false},  {kAccessViolation, kReadAccess, kBegin - 1, false},
      {kAccessViolation, kReadAccess, 0, false}, {kAccessViolation, kWrite, kBegin, false},
      {kInPageError, kExecute, kBegin, false},   {0xC00000FD, kReadAccess, kBegin, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFaultOfGuardedRead(c.code, c.access, c.address, kBegin, kEnd), c.counts)
        << std::hex << c.code << " " << c.access << " " << c.address;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
