#pragma once
// Starting processes and the installed application, its shortcuts and its
// URI.

#include <windows.h>

#include "base/options.h"

namespace zevrino::desktop::installer {

// Starts `application` (UTF-8 path) with `command_line`, in
// `working_directory` (null: the installer's). When `process` is given it
// receives the process handle, which the caller closes. True when started.
bool StartProcess(const char* application, const char* command_line, const char* working_directory,
                  HANDLE* process = nullptr);

// Starts Zevrino.exe of the installation `directory` in that directory, with
// the `forwarded` `mu` arguments, `extra` (e.g. " /UPDATECOMPLETE", may be
// null) and the other forwarded arguments. Does not wait. True when started.
bool StartApplication(const char* directory, const ForwardedArguments& forwarded,
                      const char* extra = nullptr);

// A shell link at `link_path` (UTF-8, like every argument) to `target`, with
// the target's first icon, `working_directory` and, when given, `arguments`.
// COM must be initialised on the calling thread. True when the link was
// saved.
bool CreateShortcut(const char* link_path, const char* target, const char* working_directory,
                    const char* arguments = nullptr);

// Zevrino.lnk on the desktop and in the Start menu programs, pointing at
// Zevrino.exe of `directory`. Failures of single shortcuts are ignored.
void CreateShortcuts(const char* directory);

// Opens the installed application through its URI,
// zevrino:open?utm_medium=desktop-sa-installer. True when the shell reported
// success; callers go on either way.
bool OpenInstalledApplication();

}  // namespace zevrino::desktop::installer
