#include "text/error_state.h"

// Linux has no per-thread last-error value besides errno.
namespace text::detail {

std::uint32_t ReadLastError() {
  return 0;
}

void WriteLastError(std::uint32_t) {}

}  // namespace text::detail
