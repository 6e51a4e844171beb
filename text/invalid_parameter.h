#pragma once
// Ending the process when the C runtime reports an invalid parameter while
// this thread formats text.
//
// msvcrt.dll has only a process-wide invalid-parameter handler (the
// thread-local setter exists in later runtimes only), and swapping a
// process-wide handler around every call would race between threads. So one
// handler is installed for the whole process on first use and stays; it acts
// only on threads that are inside text::str_format (the thread-local slot
// below holds their format) and hands every other report to the handler that
// was installed before it.

namespace text::detail {

// Marks this thread as formatting `format` for the guard's lifetime. Nests:
// the destructor puts back the slot's previous value.
class InvalidParameterGuard {
 public:
  explicit InvalidParameterGuard(const char* format);
  ~InvalidParameterGuard();
  InvalidParameterGuard(const InvalidParameterGuard&) = delete;
  InvalidParameterGuard& operator=(const InvalidParameterGuard&) = delete;

 private:
  const char* previous_format_;
  bool previous_active_;
};

// Whether this thread is inside a guard.
bool FormattingOnThisThread();

// Writes "text::format(): Invalid parameter detected in function
// 'text::str_format()', format string '<format>'" and a line feed to standard
// error, then abort()s. Called by the platform handler.
[[noreturn]] void ReportInvalidParameter();

// Platform layer: installs the process-wide handler once (Windows); nothing
// to do on Linux, whose C runtime has no such reports.
void EnsureInvalidParameterHandler();

}  // namespace text::detail
