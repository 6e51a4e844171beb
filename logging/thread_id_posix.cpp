#include <sys/syscall.h>
#include <unistd.h>

#include "logging/record.h"

namespace logging {

std::uint32_t current_thread_id() {
  return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

}  // namespace logging
