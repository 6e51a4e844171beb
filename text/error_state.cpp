#include "text/error_state.h"

#include <cerrno>

namespace text {

PreservedErrorState::PreservedErrorState()
    : saved_last_error_(detail::ReadLastError()), saved_errno_(errno) {}

PreservedErrorState::~PreservedErrorState() {
  errno = saved_errno_;
  detail::WriteLastError(saved_last_error_);
}

void PreservedErrorState::Clear() {
  errno = 0;
  detail::WriteLastError(0);
}

}  // namespace text
