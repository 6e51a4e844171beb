#pragma once
// installer_stub.exe of the same build tree, found relative to the running
// test program (ZV_STUB_RELATIVE_PATH is set by CMake).

#include <windows.h>

#include <string>

namespace zevrino::desktop::installer::testing {

inline std::wstring StubPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring result(path, length);
  result.resize(result.find_last_of(L'\\') + 1);
  const std::string relative = ZV_STUB_RELATIVE_PATH;
  for (char c : relative) {
    result += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  }
  return result;
}

}  // namespace zevrino::desktop::installer::testing
