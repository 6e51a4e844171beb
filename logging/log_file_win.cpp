// Opening the log file under a UTF-8 path on Windows.
#include <windows.h>

#include <string>

#include "logging/file_sink.h"

namespace logging {

std::FILE* open_log_file(const char* path, bool append) {
  const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (units <= 0) {
    return nullptr;
  }
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), units) != units) {
    return nullptr;
  }
  // Text mode (no "b") and no sharing restriction (_wfopen opens with
  // _SH_DENYNO), as the log file was always opened.
  return ::_wfopen(wide.c_str(), append ? L"a" : L"w");
}

}  // namespace logging
