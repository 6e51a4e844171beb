#pragma once
// installer_stub.exe of the same build tree, found relative to the running
// test program (ZV_STUB_RELATIVE_PATH is set by CMake).

#include <algorithm>
#include <string>

#include "tests/support/process_win.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer::testing {

inline std::wstring StubPath() {
  std::wstring path = OwnFolder() + L"\\" + FromUtf8(ZV_STUB_RELATIVE_PATH);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

}  // namespace zevrino::desktop::installer::testing
