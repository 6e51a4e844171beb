#include <windows.h>

#include "text/error_state.h"

namespace text::detail {

std::uint32_t ReadLastError() {
  return ::GetLastError();
}

void WriteLastError(std::uint32_t value) {
  ::SetLastError(value);
}

}  // namespace text::detail
