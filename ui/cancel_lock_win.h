#pragma once
// CancelLock: the process-wide lock around the user's cancel decision
// (CancelRequested, ui/cancel_request.h, is written under it). The UI thread
// holds it while the cancel question is on screen; the download loop enters
// and leaves it before each read, so a download pauses while the question is
// shown.

#include <windows.h>

namespace zevrino::desktop::installer {

extern CRITICAL_SECTION CancelLock;

// Initialises CancelLock. Called by the top-level flow before the UI thread
// starts and before anything enters the lock; later calls do nothing, so the
// lock is never initialised twice.
void InitializeCancelLock();

}  // namespace zevrino::desktop::installer
