#pragma once
// Starting processes and the installed application, its shortcuts and its
// URI.

#include <windows.h>

namespace zevrino::desktop::installer {

// Starts `application` (UTF-8 path) with `command_line`, in
// `working_directory` (null: the installer's). When `process` is given it
// receives the process handle, which the caller closes. True when started.
bool StartProcess(const char* application, const char* command_line,
                  const char* working_directory, HANDLE* process = nullptr);

// Starts Zevrino.exe of the installation `directory` in that directory, with
// the forwarded arguments and `extra` (e.g. " /UPDATECOMPLETE", may be
// null). Does not wait. True when started.
bool StartApplication(const char* directory, const char* extra = nullptr);

// Zevrino.lnk on the desktop and in the Start menu programs, pointing at
// Zevrino.exe of `directory`. Failures of single shortcuts are ignored.
void CreateShortcuts(const char* directory);

// Opens the installed application through its URI.
bool OpenInstalledApplication();

}  // namespace zevrino::desktop::installer
