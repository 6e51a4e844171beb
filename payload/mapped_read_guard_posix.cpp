#include "payload/mapped_read_guard.h"

namespace zevrino::desktop::installer {

// No file is mapped outside Windows: the read runs unguarded.
bool RunGuardedMappedRead(const void*, const void*, MappedRead read, void* context) {
  read(context);
  return true;
}

}  // namespace zevrino::desktop::installer
