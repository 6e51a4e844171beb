#pragma once
// The ports through which the modes (normal install, update, web install)
// reach the system. Each is a few methods; a flow takes only the ports it
// needs, so its order builds and is tested natively over fakes, while the
// Windows bindings sit in *_win files beside the calls they make.
// Directories are the installation's wide paths.

#include <cstdint>
#include <string>

#include "base/result_code.h"

namespace zevrino::desktop::installer {

class Clock {
 public:
  virtual void Sleep(unsigned milliseconds) = 0;

 protected:
  ~Clock() = default;
};

// The named mutexes of named_objects.h: markers of existence, held until the
// process ends unless released.
class NamedMutexes {
 public:
  // Creates `name` unless it exists: false when it already existed.
  // Otherwise *held says whether this process now holds it (a mutex that
  // cannot be created at all counts as absent).
  virtual bool TryTake(const wchar_t* name, bool* held) = 0;
  // Creates `name` or opens it when it exists: false when neither worked.
  virtual bool Hold(const wchar_t* name) = 0;
  virtual bool Exists(const wchar_t* name) = 0;
  // Lets go of a name this process took before it ends.
  virtual void Release(const wchar_t* name) = 0;

 protected:
  ~NamedMutexes() = default;
};

// The questions and notices of the modes, each with its fixed text.
enum class Question {
  kInstallationInProgress,  // a notice: only OK
  kReplaceInstalled,        // the same or a newer version is installed
  kCloseApplication,        // the application runs
};

class Dialogs {
 public:
  // True when the user answered OK.
  virtual bool Ask(Question question) = 0;
  // The error dialog of `code`: true when the user chose Retry.
  virtual bool ShowError(ResultCode code) = 0;
  // Starts the progress window, which owns the dialogs from then on.
  virtual void ShowProgress() = 0;

 protected:
  ~Dialogs() = default;
};

// Whether the account may install: false for an administrator's elevated
// token, after saying so unless `silent`.
class Account {
 public:
  virtual bool MayInstall(bool silent) = 0;

 protected:
  ~Account() = default;
};

// The installed application's processes: Zevrino.exe of a directory.
class RunningApplication {
 public:
  virtual bool IsRunning() = 0;
  // Closes the application, then its HTTPS listener, when they run the
  // Zevrino.exe of `directory`.
  virtual void Close(const std::wstring& directory) = 0;
  virtual void CloseHttpsListener(const std::wstring& directory) = 0;
  // Starts it with the forwarded arguments and `extra` (may be null); true
  // when its process was created.
  virtual bool Start(const std::wstring& directory, const char* extra) = 0;

 protected:
  ~RunningApplication() = default;
};

// The payload laid down as an installation.
class Installation {
 public:
  // All files or none, then the uninstall entry.
  virtual ResultCode InstallAndRegister(const std::wstring& directory) = 0;
  // The old files that successful installs moved aside instead of deleting.
  virtual void DeleteReplacedFiles() = 0;
  virtual void CreateShortcuts(const std::wstring& directory) = 0;

 protected:
  ~Installation() = default;
};

// The start-up value "Zevrino Web Helper" that older versions left.
class Registry {
 public:
  virtual void DeleteStartupValue() = 0;

 protected:
  ~Registry() = default;
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

// What is installed where.
class InstallationProbe {
 public:
  // The user's installation directory; empty when the application-data
  // folder is unknown. Each flow asks once and passes the answer on.
  virtual std::wstring DefaultDirectory() = 0;
  // Zevrino.exe of `directory` names this product.
  virtual bool HoldsProduct(const std::wstring& directory) = 0;
  // Zevrino.exe of `directory` is the installer's own version or newer.
  virtual bool HoldsSameOrNewerVersion(const std::wstring& directory) = 0;
  // False when the directory cannot be opened; has_executable false when it
  // holds no Zevrino.exe.
  virtual bool Identify(const std::wstring& directory, InstallationIdentity* identity) = 0;

 protected:
  ~InstallationProbe() = default;
};

// What one attempt to open a file exclusively came to.
enum class FileAccess {
  kOpened,
  kInUse,   // another process has it open (a sharing violation)
  kDenied,  // access denied
  kFailed,  // anything else: missing, a path that does not convert...
};

class Files {
 public:
  // Opens `path` for reading and writing without sharing, once, and closes
  // it again.
  virtual FileAccess OpenExclusively(const std::wstring& path) = 0;
  // A new file named kWriteTestFileName can be created in `directory`: made
  // new (never through what the name already holds) and gone when closed.
  virtual bool CanCreateFileIn(const std::wstring& directory) = 0;
  // Failures are ignored.
  virtual void Delete(const std::wstring& path) = 0;

 protected:
  ~Files() = default;
};

inline constexpr wchar_t kWriteTestFileName[] = L"~~Zevrino_WRITE_TEST~~";

}  // namespace zevrino::desktop::installer
