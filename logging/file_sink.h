#pragma once
// The sink that appends lines to a log file, named by the file's path.
//
// The file is opened in text mode (each line feed is stored as CR LF on
// Windows), for appending or truncated, and shared: other processes may read
// and write it meanwhile. Every line is flushed before write() returns, so
// the log is complete up to the last line even if the process dies. A path
// that cannot be opened leaves a sink that discards its lines.

#include <fstream>
#include <string>

#include "logging/sink.h"

namespace logging {

class file_sink : public sink {
 public:
  // `path` is UTF-8.
  file_sink(const char* path, bool append);

  void flush() override;
  const char* name() const override { return path_.c_str(); }
  void write(const record& entry) override;

  bool is_open() const { return stream_.is_open(); }

 private:
  std::string path_;
  std::ofstream stream_;
};

// Platform layer: opens `stream` on the UTF-8 `path` in text mode, appending
// or truncating. Windows converts the path to UTF-16 (so that any path the
// user can type works); Linux passes it through. Returns whether it opened.
bool open_log_stream(std::ofstream& stream, const char* path, bool append);

}  // namespace logging
