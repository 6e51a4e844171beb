#include <windows.h>

#include "payload/page_prefaulter.h"

namespace zevrino::desktop::installer {

// Locking faults the pages in; a process may lock only a little more than
// its minimum working set, so the range is unlocked at once.
bool CommitPages(void* address, std::size_t size) {
  if (!VirtualLock(address, size)) {
    return false;
  }
  VirtualUnlock(address, size);
  return true;
}

}  // namespace zevrino::desktop::installer
