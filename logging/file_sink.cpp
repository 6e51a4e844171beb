#include "logging/file_sink.h"

#include "logging/format_line.h"

namespace logging {

file_sink::file_sink(const char* path, bool append) : path_(path != nullptr ? path : "") {
  if (path != nullptr) {
    file_.reset(open_log_file(path, append));
  }
}

void file_sink::flush() {
  if (file_) {
    std::fflush(file_.get());
  }
}

void file_sink::write(const record& entry) {
  if (!file_) {
    return;
  }
  const std::string line = format_line(entry, false);
  std::fwrite(line.data(), 1, line.size(), file_.get());
  std::fflush(file_.get());
  // A failed write (disk full) sets the stream's error flag; clear it so that
  // later lines are tried again instead of being dropped for good.
  std::clearerr(file_.get());
}

}  // namespace logging
