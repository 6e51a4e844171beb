#include "logging/logger.h"

#include <atomic>

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

// Set when the logger has ended at exit. Trivially destructible, so it can
// still be read by code that runs during and after the destruction of
// statics (destructors that log).
std::atomic<bool> g_logger_ended{false};

// The holder's slot is allocated once and never destroyed, for the same
// reason: a late caller finds it empty instead of reading a destroyed object.
std::shared_ptr<logger>& LoggerSlot() {
  static auto* slot = new std::shared_ptr<logger>(std::make_shared<logger>());
  return *slot;
}

// Ends the logger when statics are destroyed: flushes every sink, then
// releases the logger and with it the sinks (the file sink closes its file)
// unless a call on another thread still holds it, in which case the last
// such call releases it.
struct LoggerEnd {
  ~LoggerEnd() {
    g_logger_ended.store(true);
    std::shared_ptr<logger> last = std::atomic_exchange(&LoggerSlot(), std::shared_ptr<logger>());
    if (last) {
      last->flush_all();
    }
  }
};

}  // namespace

std::shared_ptr<logger> get_logger() {
  if (g_logger_ended.load()) {
    return nullptr;
  }
  // Function-local statics give the one-time creation; LoggerEnd is built
  // after the slot so that it is destroyed before anything created earlier.
  static std::shared_ptr<logger>& slot = LoggerSlot();
  static LoggerEnd end_at_exit;
  return std::atomic_load(&slot);
}

}  // namespace logging
