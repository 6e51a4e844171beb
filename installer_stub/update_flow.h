#pragma once
// The steps of an update over one interface, UpdateSystem, to everything
// beyond its own path arithmetic (the file system, registry, named mutexes,
// the running application, the install and the start of the application),
// so that its order builds and is tested natively, with fakes and short
// waits. RunUpdate
// (update_mode_win.h) runs these steps against the real system with the
// real waits.
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

#include <cstdint>
#include <string>
#include <vector>

#include "installer/result_code.h"
#include "installer_stub/update_plan.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

inline constexpr char kWriteTestFileName[] = "~~Zevrino_WRITE_TEST~~";
inline constexpr char kUpdateCompleteArgument[] = " /UPDATECOMPLETE";

struct UpdateTimings {
  // Between the checks whether another process still holds "Zevrino Update
  // Started Mutex".
  unsigned started_mutex_poll_ms = 50;
  ExclusiveAccessSchedule exclusive_access;
};

// Which folder and which Zevrino.exe an installation is, whatever names
// lead to them: swapping the folder for a link, or the file for another,
// changes it.
struct InstallationIdentity {
  std::uint32_t volume = 0;
  std::uint64_t folder = 0;
  bool has_executable = false;
  std::uint64_t executable = 0;
  bool operator==(const InstallationIdentity& other) const {
    return volume == other.volume && folder == other.folder &&
           has_executable == other.has_executable && executable == other.executable;
  }
};

// What one attempt to open a file exclusively came to.
enum class FileAccess {
  kOpened,
  kInUse,   // another process has it open (a sharing violation)
  kDenied,  // access denied
  kFailed,  // anything else: missing, a path that does not convert...
};

// Everything an update reaches beyond its own path arithmetic. Paths are
// UTF-8.
class UpdateSystem {
 public:
  virtual ~UpdateSystem() = default;
  virtual void Sleep(unsigned milliseconds) = 0;
  // Null when the user's application-data folder is unknown.
  virtual const char* DefaultInstallDirectory() = 0;
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
  // True when the resolved `directory` holds a Zevrino.exe whose version
  // resource names this product.
  virtual bool HoldsInstallation(const std::string& directory) = 0;
  // The identity of the existing `directory` and of the Zevrino.exe in it
  // (has_executable false when there is none); false when the directory
  // cannot be opened.
  virtual bool IdentifyInstallation(const std::string& directory,
                                    InstallationIdentity* identity) = 0;
  // Deletes the start-up value "Zevrino Web Helper" older versions left.
  virtual void DeleteStartupEntry() = 0;
  // The named mutexes of installer/named_objects.h, held until the process
  // ends. HoldNamedMutex creates `name` or opens it when it exists: false
  // when neither could be done. TryHoldNewNamedMutex: false when the name
  // already existed; otherwise *held says whether it is now held (a mutex
  // that cannot be created at all counts as absent).
  virtual bool HoldNamedMutex(const wchar_t* name) = 0;
  virtual bool TryHoldNewNamedMutex(const wchar_t* name, bool* held) = 0;
  virtual bool NamedMutexExists(const wchar_t* name) = 0;
  // Closes the running application, then its HTTPS listener, when they run
  // the Zevrino.exe of `directory`.
  virtual void CloseRunningApplication(const std::string& directory) = 0;
  // Opens the file `path` for reading and writing without sharing, once, and
  // closes it again.
  virtual FileAccess OpenExclusively(const char* path) = 0;
  // True when a new file named kWriteTestFileName can be created in
  // `directory`: made new (never opened through whatever the name might
  // already hold, a link included) and gone when closed.
  virtual bool CanCreateFileIn(const std::string& directory) = 0;
  virtual ResultCode InstallAndRegister(const std::string& directory,
                                        const PayloadReader& reader) = 0;
  virtual bool StartApplication(const char* directory, const char* extra_argument) = 0;
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
ResultCode RunUpdate(const char* path, const PayloadReader& reader, UpdateSystem& system,
                     UpdateMutexes& held, const UpdateTimings& timings = {});

// Opens the file at `path` exclusively, retrying with the waits of
// `schedule` (system.Sleep) while another process holds it. kInUse when it
// was still held after the last attempt; otherwise what the first attempt
// that did not meet a sharing violation came to.
FileAccess WaitForExclusiveAccess(UpdateSystem& system, const char* path,
                                  const ExclusiveAccessSchedule& schedule = {});

}  // namespace zevrino::desktop::installer
