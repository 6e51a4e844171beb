#include "logging/file_sink.h"

namespace logging {

bool open_log_stream(std::ofstream& stream, const char* path, bool append) {
  stream.open(path, std::ios::out | (append ? std::ios::app : std::ios::trunc));
  return stream.is_open();
}

}  // namespace logging
