#include <windows.h>

#include "logging/log.h"
#include "payload/log_lines.h"
#include "payload/mapped_read_guard.h"

#if !defined(__x86_64__)
#error "The recovery below sets the x86-64 registers of the faulting thread"
#endif

namespace zevrino::desktop::installer {
namespace {

// One running guard, on the stack of RunGuardedMappedRead.
struct RecoveryPoint {
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;
  RecoveryPoint* outer = nullptr;
  void* jump_buffer[5] = {};  // __builtin_setjmp's
  volatile std::uint32_t code = 0;
  volatile std::uintptr_t address = 0;
};

// Process-wide, as the handler itself is: the handler sees every fault of the
// process and finds the faulting thread's innermost guard through this TLS
// slot. A TLS slot rather than thread_local: on a thread that never ran a
// guard, MinGW's thread_local would allocate inside the exception handler.
DWORD g_recovery_slot = TLS_OUT_OF_INDEXES;
INIT_ONCE g_handler_once = INIT_ONCE_STATIC_INIT;

RecoveryPoint* CurrentPoint() {
  return static_cast<RecoveryPoint*>(::TlsGetValue(g_recovery_slot));
}

// Where a faulting guarded read goes on: back into RunGuardedMappedRead.
[[noreturn]] __attribute__((noinline)) void ResumeAtRecoveryPoint() {
  __builtin_longjmp(CurrentPoint()->jump_buffer, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  if (record.NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  // The faulting code's last error stays as it was for whoever handles it.
  const DWORD last_error = ::GetLastError();
  RecoveryPoint* point = CurrentPoint();
  ::SetLastError(last_error);
  if (point == nullptr ||
      !IsFaultOfGuardedRead(record.ExceptionCode, record.ExceptionInformation[0],
                            record.ExceptionInformation[1], point->begin, point->end)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  point->code = record.ExceptionCode;
  point->address = record.ExceptionInformation[1];
  // The thread goes on as if the faulting instruction had called
  // ResumeAtRecoveryPoint: below the abandoned frame, with the stack aligned
  // as at a function's entry (16n + 8).
  CONTEXT& context = *info->ContextRecord;
  context.Rsp = (context.Rsp & ~DWORD64{15}) - 136;
  context.Rip = reinterpret_cast<DWORD64>(&ResumeAtRecoveryPoint);
  return EXCEPTION_CONTINUE_EXECUTION;
}

BOOL CALLBACK AddHandler(PINIT_ONCE, PVOID, PVOID*) {
  g_recovery_slot = ::TlsAlloc();
  // First in line: a fault of a guarded read is ours before anyone else's.
  return g_recovery_slot != TLS_OUT_OF_INDEXES &&
         ::AddVectoredExceptionHandler(1, OnException) != nullptr;
}

}  // namespace

__attribute__((noinline)) bool RunGuardedMappedRead(const void* begin, const void* end,
                                                    MappedRead read, void* context) {
  if (!::InitOnceExecuteOnce(&g_handler_once, AddHandler, nullptr, nullptr)) {
    read(context);  // no handler: unguarded, as before
    return true;
  }
  RecoveryPoint point;
  point.begin = reinterpret_cast<std::uintptr_t>(begin);
  point.end = reinterpret_cast<std::uintptr_t>(end);
  point.outer = CurrentPoint();
  ::TlsSetValue(g_recovery_slot, &point);
  if (__builtin_setjmp(point.jump_buffer) == 0) {
    read(context);
    ::TlsSetValue(g_recovery_slot, point.outer);
    return true;
  }
  ::TlsSetValue(g_recovery_slot, point.outer);
  logging::log_message(logging::kLevelError, "", kLineInstallerFileGone,
                       "Zevrino Installer - The installer's file could not be read (exception "
                       "0x%08X at byte %llu of %llu): its drive or network share went away.",
                       static_cast<unsigned>(point.code),
                       static_cast<unsigned long long>(point.address - point.begin),
                       static_cast<unsigned long long>(point.end - point.begin));
  return false;
}

}  // namespace zevrino::desktop::installer
