#pragma once
// One log event, built by log_message and passed by reference to the sinks.
// It owns its message and nothing else.

#include <cstdint>
#include <string>

namespace logging {

struct record {
  std::int64_t time = 0;  // 100-ns ticks since 1970-01-01 00:00:00 UTC
  std::int32_t level = 0;
  std::int32_t channel = 0;  // always 0 in this program
  const char* module = "";   // chooses the sink threshold; not owned
  const char* file = "";     // source file name; not owned
  std::int32_t line = 0;
  std::string message;          // formatted, UTF-8
  std::uint32_t thread_id = 0;  // the caller's Windows thread id; printed by no sink
};

// The system clock as 100-ns ticks since 1970 (UTC).
std::int64_t current_time();

// The calling thread's id: GetCurrentThreadId on Windows, the kernel thread
// id on Linux.
std::uint32_t current_thread_id();

}  // namespace logging
