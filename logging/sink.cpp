#include "logging/sink.h"

namespace logging {

sink::~sink() = default;

void sink::set_threshold(const std::string& module, std::uint32_t highest_level) {
  std::lock_guard<std::mutex> lock(thresholds_mutex_);
  thresholds_[module] = highest_level;
}

bool sink::accepts(const record& entry) const {
  if (entry.channel != channel_) {
    return false;
  }
  std::uint32_t threshold = 0;
  {
    std::lock_guard<std::mutex> lock(thresholds_mutex_);
    auto found = thresholds_.find(entry.module != nullptr ? entry.module : "");
    if (found == thresholds_.end()) {
      found = thresholds_.find(std::string());
    }
    if (found != thresholds_.end()) {
      threshold = found->second;
    }
  }
  return static_cast<std::uint32_t>(entry.level) <= threshold;
}

}  // namespace logging
