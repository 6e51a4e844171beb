#pragma once
// The steps of an update over a narrow interface to everything beyond this
// module (registry, named mutexes, the running application, the install and
// the start of the application), so that tests drive every branch with fakes
// and short waits. RunUpdate(path, reader) runs these steps against the real
// system with the real waits.
//
//   1 target directory      the argument without its last element, resolved
//                           to a full path with links followed; the default
//                           installation instead of a forbidden root; any
//                           other target must exist and hold this product's
//                           Zevrino.exe, else 24 before anything is done
//   2 start-up entry        the old "Zevrino Web Helper" value is deleted
//   3 "Zevrino Update Mutex" created and kept
//   4 wait                  until no one else holds "Zevrino Update Started
//                           Mutex", then hold it (50 ms polls, no limit)
//   5 refusal               "Zevrino Update Failed Mutex" exists: 0, nothing
//                           installed, nothing closed
//   6 close                 the application, then its HTTPS listener
//   7 executable            opened exclusively, 21 attempts over 11.9 s:
//                           still in use gives 14
//   8 write test            only outside the default installation: access
//                           denied on the executable, or no new file can be
//                           created in the directory, gives 24
//   9 install and register  all files or none
//  10 restart               Zevrino.exe with " /UPDATECOMPLETE", else 17

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "installer/result_code.h"
#include "installer/scoped_handle_win.h"
#include "installer_stub/environment_checks_win.h"
#include "installer_stub/update_plan.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

inline constexpr wchar_t kUpdateMutexName[] = L"Zevrino Update Mutex";
inline constexpr wchar_t kUpdateFailedMutexName[] = L"Zevrino Update Failed Mutex";
inline constexpr char kWriteTestFileName[] = "~~Zevrino_WRITE_TEST~~";
inline constexpr char kUpdateCompleteArgument[] = " /UPDATECOMPLETE";

struct UpdateTimings {
  // Between the checks whether another process still holds "Zevrino Update
  // Started Mutex".
  unsigned started_mutex_poll_ms = 50;
  ExclusiveAccessSchedule exclusive_access;
};

// Everything an update reaches beyond its own files and paths.
class UpdateSystem {
 public:
  virtual ~UpdateSystem() = default;
  virtual void Sleep(unsigned milliseconds) = 0;
  // Null when the user's application-data folder is unknown.
  virtual const char* DefaultInstallDirectory() = 0;
  // Folders that are never an installation of their own, resolved: the
  // user's profile and the folder that holds every profile.
  virtual std::vector<std::string> ProtectedFolders() = 0;
  // True when the resolved `directory` holds a Zevrino.exe whose version
  // resource names this product.
  virtual bool HoldsInstallation(const std::string& directory) = 0;
  // Deletes the start-up value "Zevrino Web Helper" older versions left.
  virtual void DeleteStartupEntry() = 0;
  // The named mutexes are markers of existence only, never waited on.
  // CreateMarker: the handle, opened when the name exists; null on failure.
  virtual HANDLE CreateMarker(const wchar_t* name) = 0;
  // False when the name already existed; otherwise *handle receives the new
  // mutex (null when it could not be created).
  virtual bool TryCreateMarker(const wchar_t* name, HANDLE* handle) = 0;
  virtual bool MarkerExists(const wchar_t* name) = 0;
  // Closes the running application, then its HTTPS listener.
  virtual void CloseRunningApplication() = 0;
  virtual ResultCode InstallAndRegister(const std::wstring& directory,
                                        const PayloadReader& reader) = 0;
  virtual bool StartApplication(const char* directory, const char* extra_argument) = 0;
};

// The mutexes an update holds until its process ends. A Retry in the same
// process runs the update again with the same markers: it must not wait for
// "Zevrino Update Started Mutex" to disappear while holding it itself, and
// gains nothing from a second handle of either name.
struct UpdateMarkers {
  ScopedKernelHandle update;
  ScopedKernelHandle started;
};

ResultCode RunUpdate(const char* path, const PayloadReader& reader, UpdateSystem& system,
                     UpdateMarkers& markers, const UpdateTimings& timings = {});

// Opens the file at the UTF-8 `path` for reading and writing without sharing,
// retrying while another process holds it. Returns 0 once it could be
// opened, ERROR_SHARING_VIOLATION when it was still held after the last
// attempt, or the first other error (ERROR_FILE_NOT_FOUND, access denied...).
DWORD WaitForExclusiveAccess(const char* path, const ExclusiveAccessSchedule& schedule = {},
                             const std::function<void(unsigned)>& sleep = ::Sleep);

// The existing directory `directory` (UTF-8, fully qualified) as a full path
// with no "." or ".." and every link or junction followed, in its plain
// drive or share form; empty when it does not exist, is no directory or
// cannot be opened.
std::string ResolveExistingDirectory(const std::string& directory);

// Both UTF-8 paths converted to UTF-16 and compared ignoring case with the
// system locale's rules; false when either does not convert.
bool PathsEqualIgnoreCase(const char* a, const char* b);

}  // namespace zevrino::desktop::installer
