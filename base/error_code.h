#pragma once
// The error code that the payload reader and the file operations report
// through an out-parameter: a signed 32-bit value and its category.
//
//   system     the value is a Win32 error code (GetLastError)
//   installer  the value is a result code (result_code.h); its message is "?"
//
// 0 means success in either category. Two codes are equal when both value and
// category are equal.

#include <cstdint>
#include <string>

#include "base/result_code.h"

namespace zevrino::desktop::installer {

enum class ErrorCategory : std::uint8_t { kSystem, kInstaller };

class ErrorCode {
 public:
  constexpr ErrorCode() = default;
  constexpr ErrorCode(std::int32_t value, ErrorCategory category)
      : value_(value), category_(category) {}

  static constexpr ErrorCode System(std::int32_t value) {
    return ErrorCode(value, ErrorCategory::kSystem);
  }
  static constexpr ErrorCode Installer(ResultCode code) {
    return ErrorCode(static_cast<std::int32_t>(ResultNumber(code)), ErrorCategory::kInstaller);
  }

  constexpr std::int32_t value() const { return value_; }
  constexpr ErrorCategory category() const { return category_; }
  constexpr explicit operator bool() const { return value_ != 0; }
  constexpr void clear() { *this = ErrorCode(); }

  // "installer" or "system".
  const char* category_name() const {
    return category_ == ErrorCategory::kInstaller ? "installer" : "system";
  }

  friend constexpr bool operator==(const ErrorCode& a, const ErrorCode& b) {
    return a.value_ == b.value_ && a.category_ == b.category_;
  }
  friend constexpr bool operator!=(const ErrorCode& a, const ErrorCode& b) { return !(a == b); }

 private:
  std::int32_t value_ = 0;
  ErrorCategory category_ = ErrorCategory::kSystem;
};

// A missing file or folder (system errors 2 and 3).
constexpr bool IsNotFound(const ErrorCode& error) {
  return error.category() == ErrorCategory::kSystem && (error.value() == 2 || error.value() == 3);
}

// The result code that `error` stands for: 0 without an error, its value
// when it is one of the installer's own, and `otherwise` for a system error,
// whose number means something else entirely (5 is "access denied", not a
// result).
constexpr ResultCode ToResultCode(const ErrorCode& error, ResultCode otherwise) {
  if (!error) {
    return kSuccess;
  }
  return error.category() == ErrorCategory::kInstaller ? static_cast<ResultCode>(error.value())
                                                       : otherwise;
}

}  // namespace zevrino::desktop::installer
