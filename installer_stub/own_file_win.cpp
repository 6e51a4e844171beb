#include "installer_stub/own_file_win.h"

#include "payload/payload_container.h"

namespace zevrino::desktop::installer {

bool GetOwnFileName(wchar_t (&path)[MAX_PATH]) {
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return false;  // failed, or truncated to MAX_PATH - 1 units
  }
  // Each UTF-16 unit takes at most 3 UTF-8 bytes.
  char utf8[MAX_PATH * 3];
  if (::WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
    return false;
  }
  return ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, path, MAX_PATH) != 0;
}

bool OpenOwnPayload(const wchar_t* path, OwnPayload* payload, ErrorCode* error) {
  if (!payload->image.Open(path, error)) {
    return false;
  }
  const std::uint8_t* begin = payload->image.data();
  payload->reader.Reseat(begin, begin + payload->image.size());
  error->clear();
  return OpenPayload(&payload->reader, &payload->flags, error);
}

}  // namespace zevrino::desktop::installer
