#include "ui/cancel_lock_win.h"

namespace zevrino::desktop::installer {

CRITICAL_SECTION CancelLock;

namespace {

BOOL CALLBACK InitializeOnce(PINIT_ONCE, PVOID, PVOID*) {
  ::InitializeCriticalSection(&CancelLock);
  return TRUE;
}

}  // namespace

void InitializeCancelLock() {
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  ::InitOnceExecuteOnce(&once, InitializeOnce, nullptr, nullptr);
}

}  // namespace zevrino::desktop::installer
