#pragma once
// The sink that appends lines to a log file, named by the file's path.
//
// The file is opened in text mode (each line feed is stored as CR LF on
// Windows), for appending or truncated, and shared: other processes may read
// and write it meanwhile. Every line is flushed before write() returns, so
// the log is complete up to the last line even if the process dies. A path
// that cannot be opened leaves a sink that discards its lines.

#include <cstdio>
#include <memory>
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

  bool is_open() const { return file_ != nullptr; }

 private:
  struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  std::string path_;
  // A C stream rather than std::ofstream: file streams would bring
  // libstdc++'s locale machinery, hundreds of KB, into the installer.
  std::unique_ptr<std::FILE, file_closer> file_;
};

// Platform layer: opens the UTF-8 `path` in text mode, appending or
// truncating, with no sharing restriction; nullptr when it cannot. Windows
// converts the path to UTF-16 (so that any path the user can type works);
// Linux passes it through.
std::FILE* open_log_file(const char* path, bool append);

}  // namespace logging
