#pragma once
// The process-wide logger: the registered sinks by name, and the recursive
// lock under which records are offered to them.
//
// Holding the lock while a record goes to every sink gives each sink whole
// lines and all sinks the same order of records. The lock is recursive so
// that a sink may itself look up or add sinks.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "logging/record.h"
#include "logging/sink.h"

namespace logging {

class logger {
 public:
  logger() = default;
  logger(const logger&) = delete;
  logger& operator=(const logger&) = delete;

  // Stores `s` under s->name(), replacing a sink of that name.
  void add_sink(std::shared_ptr<sink> s);
  // Adds the sink made by `make` unless a sink named `name` exists; the
  // lookup and the addition happen under one lock. Returns whether it added.
  bool add_sink_if_absent(const std::string& name,
                          const std::function<std::shared_ptr<sink>()>& make);
  // The sink named `name`, or an empty pointer.
  std::shared_ptr<sink> find_sink(const std::string& name) const;
  // Offers the record to every sink that accepts it.
  void dispatch(const record& entry);
  void flush_all();

 private:
  mutable std::recursive_mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<sink>> sinks_;
};

// The process-wide logger, created on first use. Empty once it has ended at
// process exit (its sinks flushed and released); callers then drop their
// message.
std::shared_ptr<logger> get_logger();

}  // namespace logging
