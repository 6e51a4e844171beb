#include "logging/file_sink.h"

#include "logging/format_line.h"

namespace logging {

file_sink::file_sink(const char* path, bool append) : path_(path != nullptr ? path : "") {
  if (path != nullptr) {
    open_log_stream(stream_, path, append);
  }
}

void file_sink::flush() {
  if (stream_.is_open()) {
    stream_.flush();
  }
}

void file_sink::write(const record& entry) {
  if (!stream_.is_open()) {
    return;
  }
  const std::string line = format_line(entry, false);
  stream_.write(line.data(), static_cast<std::streamsize>(line.size()));
  stream_.flush();
  // A failed write (disk full) sets badbit; clear it so that later lines are
  // tried again instead of being dropped for good.
  stream_.clear();
}

}  // namespace logging
