// Entry point of installer_stub.exe, a GUI-subsystem program: restricts DLL
// loading to System32, converts the command line to UTF-8, cuts it into
// tokens and hands them to InstallerMain.

#include <windows.h>

#include "installer_stub/command_line.h"
#include "installer_stub/command_line_win.h"
#include "installer_stub/installer_main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
  using namespace zevrino::desktop::installer;
  // First of all: from now on no DLL comes from the installer's own folder
  // (a Downloads folder where anyone may have left a "version.dll"), neither
  // those loaded at run time nor what they depend on. The import table names
  // only DLLs that Windows always takes from System32 (the import test keeps
  // it so), so nothing was loaded from there before this line.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The tokens, and the options that point into them, live in this buffer
  // until the run has ended.
  char buffer[kCommandLineBufferSize];
  char* tokens[kMaxCommandLineTokens];
  CommandLineToUtf8(command_line, buffer, kCommandLineBufferSize);
  const int count = SplitCommandLine(buffer, tokens, kMaxCommandLineTokens);
  return ToExitCode(InstallerMain(tokens, count));
}
