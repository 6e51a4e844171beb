#pragma once
// The user's decision to cancel a download or an install. Set once by the
// cancel question on the UI thread (under CancelLock), never cleared, polled
// without a lock by the download and its retry countdown, and by a normal
// install until its commit.

#include <atomic>

namespace zevrino::desktop::installer {

extern std::atomic<bool> CancelRequested;

}  // namespace zevrino::desktop::installer
