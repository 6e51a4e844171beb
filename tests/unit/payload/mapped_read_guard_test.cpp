// Which faults end a guarded read of a mapped file: a read inside its range,
// reported either way a vanished file is; any other still ends the process.
#include "payload/mapped_read_guard.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(MappedReadGuard, OnlyAReadInsideTheRangeCounts) {
  constexpr std::uintptr_t kBegin = 0x10000, kEnd = 0x30000, kWrite = 1,
                           kStackOverflow = 0xC00000FD;
  EXPECT_TRUE(IsFaultOfGuardedRead(kInPageError, kReadAccess, kBegin, kBegin, kEnd));
  EXPECT_TRUE(IsFaultOfGuardedRead(kAccessViolation, kReadAccess, kEnd - 1, kBegin, kEnd));
  EXPECT_FALSE(IsFaultOfGuardedRead(kInPageError, kReadAccess, kEnd, kBegin, kEnd));
  EXPECT_FALSE(IsFaultOfGuardedRead(kAccessViolation, kReadAccess, kBegin - 1, kBegin, kEnd));
  EXPECT_FALSE(IsFaultOfGuardedRead(kAccessViolation, kWrite, kBegin, kBegin, kEnd));
  EXPECT_FALSE(IsFaultOfGuardedRead(kStackOverflow, kReadAccess, kBegin, kBegin, kEnd));
}

}  // namespace
}  // namespace zevrino::desktop::installer
