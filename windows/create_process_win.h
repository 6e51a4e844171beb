#pragma once
// CreateProcessW for the programs the installer starts (the application, a
// downloaded full installer). Under load Wine now and then loses a new
// process before any of its code has run and answers ERROR_INTERNAL_ERROR;
// such a start is tried again, twice at most. Any other failure is final.

#include <windows.h>

namespace zevrino::desktop::installer {

inline BOOL CreateProcessRetryingLostStart(const wchar_t* application, wchar_t* command_line,
                                           BOOL inherit_handles, const wchar_t* directory,
                                           STARTUPINFOW* startup, PROCESS_INFORMATION* info,
                                           HANDLE token = nullptr) {
  BOOL created = FALSE;
  for (int attempt = 0; attempt < 3 && !created; ++attempt) {
    created = token != nullptr
                  ? ::CreateProcessAsUserW(token, application, command_line, nullptr, nullptr,
                                           inherit_handles, 0, nullptr, directory, startup, info)
                  : ::CreateProcessW(application, command_line, nullptr, nullptr, inherit_handles,
                                     0, nullptr, directory, startup, info);
    if (!created && ::GetLastError() != ERROR_INTERNAL_ERROR) {
      break;
    }
  }
  return created;
}

}  // namespace zevrino::desktop::installer
