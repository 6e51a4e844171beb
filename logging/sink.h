#pragma once
// The abstract destination of log lines, with its per-module filter.
//
// A sink accepts a record when the record's channel is the sink's and its
// level, compared unsigned, is at most the threshold of the record's module;
// a module without an entry uses the entry of "" and, without that either,
// the threshold 0 (only level 0 passes). Negative levels therefore never pass.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "logging/record.h"

namespace logging {

class sink {
 public:
  virtual ~sink();
  sink(const sink&) = delete;
  sink& operator=(const sink&) = delete;

  // Pushes buffered output to its destination.
  virtual void flush() = 0;
  // The unique name under which the logger keeps the sink.
  virtual const char* name() const = 0;
  // Emits one line. Called under the logger's lock, one record at a time.
  virtual void write(const record& entry) = 0;

  // Stores or replaces the highest level accepted for `module`.
  void set_threshold(const std::string& module, std::uint32_t highest_level);
  bool accepts(const record& entry) const;

 protected:
  explicit sink(std::int32_t channel = 0) : channel_(channel) {}

 private:
  std::unordered_map<std::string, std::uint32_t> thresholds_;
  std::int32_t channel_;
  mutable std::mutex thresholds_mutex_;  // guards thresholds_
};

}  // namespace logging
