#include "text/invalid_parameter.h"

// glibc reports no invalid parameters: a malformed conversion is printed as
// it stands or makes vsnprintf return a negative value.
namespace text::detail {

void EnsureInvalidParameterHandler() {}

}  // namespace text::detail
