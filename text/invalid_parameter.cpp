#include "text/invalid_parameter.h"

#include <cstdio>
#include <cstdlib>

namespace text::detail {
namespace {

// The format of the innermost text::str_format running on this thread.
thread_local const char* t_active_format = nullptr;
thread_local bool t_active = false;

}  // namespace

InvalidParameterGuard::InvalidParameterGuard(const char* format)
    : previous_format_(t_active_format), previous_active_(t_active) {
  EnsureInvalidParameterHandler();
  t_active_format = format;
  t_active = true;
}

InvalidParameterGuard::~InvalidParameterGuard() {
  t_active_format = previous_format_;
  t_active = previous_active_;
}

bool FormattingOnThisThread() {
  return t_active;
}

void ReportInvalidParameter() {
  const char* format = t_active_format != nullptr ? t_active_format : "(null)";
  std::fprintf(stderr,
               "text::format(): Invalid parameter detected in function 'text::str_format()', "
               "format string '%s'\n",
               format);
  std::fflush(stderr);
  std::abort();
}

}  // namespace text::detail
