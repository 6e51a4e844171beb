#include "payload/mapped_read_guard.h"

namespace zevrino::desktop::installer {

bool IsFaultOfGuardedRead(std::uint32_t code, std::uintptr_t access, std::uintptr_t address,
                          std::uintptr_t begin, std::uintptr_t end) {
  return (code == kInPageError || code == kAccessViolation) && access == kReadAccess &&
         address >= begin && address < end;
}

}  // namespace zevrino::desktop::installer
