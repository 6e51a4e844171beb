#pragma once
// ProgressChannel: what the installing thread and the progress window of one
// run share. The download writes `download`; the cancel question on the UI
// thread sets `cancel_requested` once (never cleared) while it holds
// `cancel_lock`, which it holds as long as the question is on screen. The
// download, its retry countdown and a normal install until its commit poll the
// flag without the lock; the download enters and leaves the lock before each
// read, so it pauses while the question is shown.

#include <windows.h>

#include <atomic>

#include "ui/download_progress.h"

namespace zevrino::desktop::installer {

struct ProgressChannel {
  ProgressChannel() { ::InitializeCriticalSection(&cancel_lock); }
  ~ProgressChannel() { ::DeleteCriticalSection(&cancel_lock); }
  ProgressChannel(const ProgressChannel&) = delete;
  ProgressChannel& operator=(const ProgressChannel&) = delete;

  DownloadProgressState download;
  std::atomic<bool> cancel_requested{false};
  CRITICAL_SECTION cancel_lock;
};

}  // namespace zevrino::desktop::installer
