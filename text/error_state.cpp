#include "text/error_state.h"

#include <cerrno>

namespace text {

PreservedErrorState::PreservedErrorState()
    : saved_errno_(errno), saved_last_error_(detail::ReadLastError()) {}

PreservedErrorState::~PreservedErrorState() {
  // The last-error value first: restoring errno cannot touch it, while the
  // reverse order is not guaranteed on every C runtime.
  detail::WriteLastError(saved_last_error_);
  errno = saved_errno_;
}

void PreservedErrorState::Clear() {
  errno = 0;
  detail::WriteLastError(0);
}

}  // namespace text
