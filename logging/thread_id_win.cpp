#include <windows.h>

#include "logging/record.h"

namespace logging {

std::uint32_t current_thread_id() {
  return ::GetCurrentThreadId();
}

}  // namespace logging
