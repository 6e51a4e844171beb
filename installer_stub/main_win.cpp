// Entry point of installer_stub.exe, a GUI-subsystem program: converts the
// command line to UTF-8, cuts it into tokens and hands them to InstallerMain.

#include <windows.h>

#include "installer_stub/command_line.h"
#include "installer_stub/command_line_win.h"
#include "installer_stub/installer_main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
  using namespace zevrino::desktop::installer;
  // Tokens and MuSuffix point into this buffer for the rest of the process.
  static char buffer[kCommandLineBufferSize];
  char* tokens[kMaxCommandLineTokens];
  CommandLineToUtf8(command_line, buffer, kCommandLineBufferSize);
  const int count = SplitCommandLine(buffer, tokens, kMaxCommandLineTokens);
  return static_cast<int>(InstallerMain(tokens, count));
}
