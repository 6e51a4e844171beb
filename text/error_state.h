#pragma once
// Saves errno and the Windows last-error value on construction and puts both
// back on destruction, so that a helper can call into the C runtime and the
// system without disturbing what its caller is about to read.
//
// On Linux there is no last-error value; only errno is kept.

#include <cstdint>

namespace text {

class PreservedErrorState {
 public:
  PreservedErrorState();
  ~PreservedErrorState();
  PreservedErrorState(const PreservedErrorState&) = delete;
  PreservedErrorState& operator=(const PreservedErrorState&) = delete;

  // Sets both values to 0 (what formatting starts from).
  void Clear();

 private:
  // Read in this order and written back in the reverse one: msvcrt's errno
  // lives in thread data that it finds with TlsGetValue, which sets the
  // last-error value to 0, so touching errno after the last-error value
  // would lose it.
  std::uint32_t saved_last_error_;
  int saved_errno_;
};

namespace detail {
// Thin platform layer: GetLastError/SetLastError on Windows, nothing on Linux.
std::uint32_t ReadLastError();
void WriteLastError(std::uint32_t value);
}  // namespace detail

}  // namespace text
