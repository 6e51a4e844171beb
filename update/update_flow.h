#pragma once
// The steps of an update over the ports of base/mode_ports.h and its
// own UpdatePaths, so that its order builds and is tested natively, with
// fakes and short waits. RunUpdate (update_mode_win.h) binds the real ports
// and the real waits.
//
//   1 target directory      the argument without its last element, resolved
//                           to a full path with links followed; the default
//                           installation instead of a forbidden root; any
//                           other target must exist and hold this product's
//                           Zevrino.exe, else 24 before anything is done
//   2 start-up entry        the old "Zevrino Web Helper" value is deleted
//   3 "Zevrino Update Mutex" created and kept
//   4 wait                  until no one else holds "Zevrino Update Started
//                           Mutex", then hold it (50 ms polls, no limit); the
//                           target must still be what step 1 found (below)
//   5 refusal               "Zevrino Update Failed Mutex" exists: 0, nothing
//                           installed, nothing closed
//   6 close                 the application, then its HTTPS listener
//   7 executable            opened exclusively, 21 attempts over 11.9 s:
//                           still in use gives 14; the target must still be
//                           what step 1 found
//   8 write test            only outside the default installation: access
//                           denied on the executable, or no new file can be
//                           created in the directory, gives 24
//   9 install and register  all files or none
//  10 restart               Zevrino.exe with " /UPDATECOMPLETE", else 17

#include <string>
#include <vector>

#include "base/mode_ports.h"
#include "base/result_code.h"
#include "update/update_plan.h"

namespace zevrino::desktop::installer {

inline constexpr char kUpdateCompleteArgument[] = " /UPDATECOMPLETE";

struct UpdateTimings {
  // Between the checks whether another process still holds "Zevrino Update
  // Started Mutex".
  unsigned started_mutex_poll_ms = 50;
  ExclusiveAccessSchedule exclusive_access;
};

// The path arithmetic of the update's target that needs the file system.
// Paths are UTF-8, as the argument is.
class UpdatePaths {
 public:
  // Folders that are never an installation of their own, resolved: the
  // user's profile and the folder that holds every profile.
  virtual std::vector<std::string> ProtectedFolders() = 0;
  // Compares two paths the way the file system does (ignoring case); false
  // when either cannot be compared.
  virtual bool PathsEqual(const char* a, const char* b) = 0;
  // The existing directory `directory` (fully qualified) as a full path with
  // no "." or ".." and every link or junction followed, in its plain drive or
  // share form; empty when it does not exist, is no directory or cannot be
  // opened.
  virtual std::string ResolveExistingDirectory(const std::string& directory) = 0;

 protected:
  ~UpdatePaths() = default;
};

struct UpdatePorts {
  UpdatePaths& paths;
  InstallationProbe& probe;
  Files& files;
  Registry& registry;
  NamedMutexes& mutexes;
  RunningApplication& application;
  Installation& installation;
  Clock& clock;
};

// Which of the update's named mutexes this process holds. A Retry in the
// same process runs the update again with the same value: it must not wait
// for "Zevrino Update Started Mutex" to disappear while holding it itself,
// and gains nothing from a second handle of either name.
struct UpdateMutexes {
  bool update = false;
  bool started = false;
};

// `path`: the UTF-8 path given after `update`; its parent is the
// installation to replace.
ResultCode RunUpdate(const char* path, const UpdatePorts& ports, UpdateMutexes& held,
                     const UpdateTimings& timings = {});

// Opens the file at `path` exclusively, retrying with the waits of
// `schedule` while another process holds it. kInUse when it was still held
// after the last attempt; otherwise what the first attempt that did not meet
// a sharing violation came to.
FileAccess WaitForExclusiveAccess(Files& files, Clock& clock, const std::wstring& path,
                                  const ExclusiveAccessSchedule& schedule = {});

}  // namespace zevrino::desktop::installer
