#include "logging/file_sink.h"

namespace logging {

std::FILE* open_log_file(const char* path, bool append) {
  return std::fopen(path, append ? "a" : "w");
}

}  // namespace logging
