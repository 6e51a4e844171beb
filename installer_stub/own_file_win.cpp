#include "installer_stub/own_file_win.h"

#include "payload/module_version_win.h"
#include "payload/payload_container.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {

bool GetOwnFileName(std::wstring* path) {
  const std::wstring module = GetModulePath();
  return !module.empty() && Utf8ToWidePath(WideToUtf8(module).c_str(), path);
}

bool OpenOwnPayload(const wchar_t* path, OwnPayload* payload, ErrorCode& error) {
  if (!payload->image.Open(path, error)) {
    return false;
  }
  const std::uint8_t* begin = payload->image.data();
  payload->reader.Reseat(begin, begin + payload->image.size());
  error.clear();
  return OpenPayload(&payload->reader, &payload->flags, error);
}

}  // namespace zevrino::desktop::installer
