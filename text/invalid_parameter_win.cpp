#include <stdlib.h>

#include <cstdint>
#include <mutex>

#include "text/invalid_parameter.h"

namespace text::detail {
namespace {

// The handler that was installed before ours; reports from threads that are
// not formatting go to it. Written once under the once_flag, read afterwards.
_invalid_parameter_handler g_previous_handler = nullptr;

void __cdecl OnInvalidParameter(const wchar_t* expression, const wchar_t* function,
                                const wchar_t* file, unsigned int line, uintptr_t reserved) {
  if (FormattingOnThisThread()) {
    ReportInvalidParameter();
  }
  if (g_previous_handler != nullptr) {
    g_previous_handler(expression, function, file, line, reserved);
  }
  // Without a previous handler msvcrt.dll's own behaviour applies: the
  // function that reported returns its error value.
}

}  // namespace

void EnsureInvalidParameterHandler() {
  static std::once_flag once;
  std::call_once(once,
                 [] { g_previous_handler = _set_invalid_parameter_handler(OnInvalidParameter); });
}

}  // namespace text::detail
