#include "installer_stub/command_line_win.h"

#include <windows.h>

namespace zevrino::desktop::installer {

void CommandLineToUtf8(const wchar_t* wide, char* buffer, int size) {
  if (size <= 0) {
    return;
  }
  if (wide == nullptr ||
      ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, buffer, size, nullptr, nullptr) == 0) {
    buffer[0] = '\0';
  }
}

}  // namespace zevrino::desktop::installer
