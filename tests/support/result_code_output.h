#pragma once
// A result code in test output (assertion messages, GoogleTest's printing of
// compared values): its number.

#include <ostream>

#include "base/result_code.h"

namespace zevrino::desktop::installer {

inline std::ostream& operator<<(std::ostream& out, ResultCode code) {
  return out << ResultNumber(code);
}

}  // namespace zevrino::desktop::installer
