#pragma once
// The user's decision to cancel a download. Set once by the cancel question
// on the UI thread (under CancelLock), never cleared, polled by the download
// and its retry countdown without a lock.

#include <atomic>

namespace zevrino::desktop::installer {

extern std::atomic<bool> CancelRequested;

}  // namespace zevrino::desktop::installer
