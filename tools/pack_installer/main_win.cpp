// Entry point of the Windows build (console subsystem, -municode): the wide
// arguments are converted to UTF-8, which the library uses for paths.
#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/pack_installer/pack_installer_app.h"

namespace {

bool ToUtf8(const wchar_t* wide, std::string* out) {
  const int needed =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    return false;
  }
  out->assign(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, out->data(), needed, nullptr,
                          nullptr) != needed) {
    return false;
  }
  out->pop_back();  // the terminating zero
  return true;
}

// A console, not merely a character device: "2>NUL" is one too, and a
// progress line there would only cost time.
bool StandardErrorIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string arg;
    if (!ToUtf8(argv[i], &arg)) {
      std::cerr << "pack_installer: argument " << i << " is not valid UTF-16\n";
      return zevrino::desktop::packer::kExitUsage;
    }
    args.push_back(arg);
  }
  return zevrino::desktop::packer::RunPackInstaller(args, std::cout, std::cerr,
                                                    StandardErrorIsConsole());
}
