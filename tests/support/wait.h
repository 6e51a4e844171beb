#pragma once
// Waiting for what another process or thread brings about: the condition is
// polled, so a test waits only as long as it has to and never sleeps a fixed
// time in place of a condition.

#include <chrono>
#include <thread>

namespace zevrino::desktop::installer::testing {

// Calls `condition` every `interval` until it answers true (then true) or
// `timeout` has passed (then false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = std::chrono::milliseconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(interval);
  }
  return true;
}

}  // namespace zevrino::desktop::installer::testing
