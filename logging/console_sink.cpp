#include "logging/console_sink.h"

#include "logging/format_line.h"

namespace logging {

console_sink::console_sink(bool colour, std::unique_ptr<ConsoleApi> api)
    : api_(std::move(api)), writer_(*api_), colour_(colour) {}

void console_sink::write(const record& entry) {
  const std::string line = format_line(entry, colour_);
  std::lock_guard<std::mutex> lock(write_mutex_);
  writer_.write(line);
}

}  // namespace logging
