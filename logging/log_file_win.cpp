// Opening the log file under a UTF-8 path on Windows.
#include <windows.h>

#include <string>

#include "logging/file_sink.h"

namespace logging {

bool open_log_stream(std::ofstream& stream, const char* path, bool append) {
  const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (units <= 0) {
    return false;
  }
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), units) != units) {
    return false;
  }
  // libstdc++ opens a wide path with _wfopen: text mode unless ios::binary
  // is given, and no sharing restriction (_SH_DENYNO).
  stream.open(wide.c_str(), std::ios::out | (append ? std::ios::app : std::ios::trunc));
  return stream.is_open();
}

}  // namespace logging
