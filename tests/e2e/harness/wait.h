#pragma once
// Waiting for a condition with a time limit, never for a fixed time.

#include <chrono>
#include <thread>

namespace zevrino::e2e {

// Calls `done` every 20 ms until it answers true (then true) or `timeout`
// passes (then false, after one last call).
template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return done();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace zevrino::e2e
