#include "logging/logger.h"

#include <atomic>
#include <cstdlib>

namespace logging {

void logger::add_sink(std::shared_ptr<sink> s) {
  if (!s) {
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::string name = s->name();
  sinks_[std::move(name)] = std::move(s);
}

bool logger::add_sink_if_absent(const std::string& name,
                                const std::function<std::shared_ptr<sink>()>& make) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (sinks_.count(name) != 0) {
    return false;
  }
  add_sink(make());
  return true;
}

std::shared_ptr<sink> logger::find_sink(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto found = sinks_.find(name);
  return found != sinks_.end() ? found->second : nullptr;
}

void logger::dispatch(const record& entry) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto& [name, s] : sinks_) {
    if (s->accepts(entry)) {
      s->write(entry);
    }
  }
}

void logger::flush_all() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto& [name, s] : sinks_) {
    s->flush();
  }
}

namespace {

// The process-wide logger and whether it has ended at exit. Global because
// the log is the process's, not a run's: the C runtime ends it at exit, and
// code that runs during and after the destruction of statics (destructors
// that log) still reads it. Allocated once and never destroyed, so a late
// caller finds it ended and empty instead of reading a destroyed object.
struct LoggerSlot {
  std::atomic<bool> ended{false};
  std::shared_ptr<logger> current = std::make_shared<logger>();
};

// Ends the logger at exit: flushes every sink, then releases the logger and
// with it the sinks (the file sink closes its file) unless a call on another
// thread still holds it, in which case the last such call releases it.
void EndLogger();

LoggerSlot& Slot() {
  // Registered with the slot's creation, so that the end runs before
  // anything created earlier is destroyed.
  static LoggerSlot* const slot = [] {
    auto* created = new LoggerSlot;
    std::atexit(EndLogger);
    return created;
  }();
  return *slot;
}

void EndLogger() {
  LoggerSlot& slot = Slot();
  slot.ended.store(true);
  std::shared_ptr<logger> last = std::atomic_exchange(&slot.current, std::shared_ptr<logger>());
  if (last) {
    last->flush_all();
  }
}

}  // namespace

std::shared_ptr<logger> get_logger() {
  LoggerSlot& slot = Slot();
  if (slot.ended.load()) {
    return nullptr;
  }
  return std::atomic_load(&slot.current);
}

}  // namespace logging
