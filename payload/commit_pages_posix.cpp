#include <sys/mman.h>

#include "payload/page_prefaulter.h"

namespace zevrino::desktop::installer {

// Locking faults the pages in (RLIMIT_MEMLOCK bounds how much at a time), so
// the range is unlocked at once.
bool CommitPages(void* address, std::size_t size) {
  if (mlock(address, size) != 0) {
    return false;
  }
  munlock(address, size);
  return true;
}

}  // namespace zevrino::desktop::installer
