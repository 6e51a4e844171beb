#pragma once
// Starting processes and the installed application, its shortcuts and its
// URI.

#include <windows.h>

#include <string>

#include "base/options.h"

namespace zevrino::desktop::installer {

// Starts `application` with `command_line`, in `working_directory` (null: the
// installer's). When `process` is given it receives the process handle, which
// the caller closes. True when started.
bool StartProcess(const std::wstring& application, const std::wstring& command_line,
                  const wchar_t* working_directory, HANDLE* process = nullptr);
// The same with the application's path and the command line in UTF-8.
bool StartProcess(const char* application, const char* command_line, const char* working_directory,
                  HANDLE* process = nullptr);

// Starts Zevrino.exe of the installation `directory` in that directory, with
// the `forwarded` `mu` arguments, `extra` (e.g. " /UPDATECOMPLETE", may be
// null) and the other forwarded arguments. Does not wait. True when started.
bool StartApplication(const std::wstring& directory, const ForwardedArguments& forwarded,
                      const char* extra = nullptr);

// A shell link at `link_path` to `target`, with the target's first icon,
// `working_directory` and, when given, `arguments` (UTF-8). COM must be
// initialised on the calling thread. True when the link was saved.
bool CreateShortcut(const std::wstring& link_path, const std::wstring& target,
                    const std::wstring& working_directory, const char* arguments = nullptr);

// Zevrino.lnk on the desktop and in the Start menu programs, pointing at
// Zevrino.exe of `directory`. Failures of single shortcuts are ignored.
void CreateShortcuts(const std::wstring& directory);

// Opens the installed application through its URI,
// zevrino:open?utm_medium=desktop-sa-installer. True when the shell reported
// success; callers go on either way.
bool OpenInstalledApplication();

}  // namespace zevrino::desktop::installer
