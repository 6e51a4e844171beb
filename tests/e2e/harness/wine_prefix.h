#pragma once
// A private Wine prefix for end-to-end tests and the ways a test reaches into
// it: starting Windows programs (as the full-token process Wine gives every
// program started from Linux, or as a normal user through run_limited.exe),
// the files of drive C and the user's profile, and the registry.
//
// Prefixes live under the host build tree, one per name, and are created on
// first use (wineboot -i). A WinePrefix object is a session that owns its
// prefix exclusively: it holds a lock file (a second program asking for the
// same prefix waits), runs a private X display and a persistent wineserver
// started with that display, and ends both when it goes. Wine's desktop
// process keeps the display it was first started with for the server's
// life, so server and display must begin and end together. Within one
// process, open each prefix name at most once at a time.
//
// Wine makes the user's Desktop, Documents, Downloads, Music, Pictures and
// Videos symbolic links to the Linux home folder, so a shortcut put on the
// "desktop" would land in $HOME, shared by every prefix and the user. Open
// turns them into real folders of the prefix; on Windows they are the
// user's own folders anyway. Wine's menu builder, which would mirror every
// saved shell link as a menu entry or desktop file under $HOME, is switched
// off for every program of the prefix.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/harness/virtual_display.h"

namespace zevrino::e2e {

struct PrefixOptions {
  std::string name = "default";
  // What Wine reports as the Windows version: "win10", "win81", "win7"...
  std::string windows_version = "win10";
};

class WinePrefix {
 public:
  // Creates or reuses the prefix `options.name`, starts its display and
  // wineserver and sets its Windows version. On failure returns null and
  // *error says which step failed.
  static std::unique_ptr<WinePrefix> Open(const PrefixOptions& options, std::string* error);

  // Stops the wineserver (ending every program still running in the
  // prefix) and the display, then releases the prefix.
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // WINEPREFIX, WINEDEBUG, DISPLAY and WINEDLLOVERRIDES for programs
  // started in this prefix.
  Environment BaseEnvironment() const;

  // `wine PROGRAM ARGS...` with the full administrator token. PROGRAM is a
  // Linux path or a Windows program name (reg.exe).
  ProcessResult RunWine(const std::vector<std::string>& command,
                        const Environment& environment = {},
                        std::chrono::milliseconds timeout = std::chrono::seconds(120)) const;

  // RunWine for a command that writes to its standard error whenever it
  // fails and may run again. Under load Wine now and then ends a process it
  // starts with exit code 1 and no output at all, before the program did
  // anything; such a run is repeated (three runs at most).
  ProcessResult RunWineRepeatable(
      const std::vector<std::string>& command, const Environment& environment = {},
      std::chrono::milliseconds timeout = std::chrono::seconds(120)) const;

  // Starts the Windows program at the Linux path `program` with the limited
  // token through `launcher` (run_limited.exe); the result is the program's.
  ProcessResult RunAsUser(const std::filesystem::path& launcher,
                          const std::filesystem::path& program,
                          const std::vector<std::string>& args, const Environment& environment = {},
                          std::chrono::milliseconds timeout = std::chrono::seconds(120)) const;

  std::filesystem::path DriveC() const { return path_ / "drive_c"; }
  // The Windows user of the prefix: the one folder under drive_c/users
  // other than Public. Empty when there is none.
  std::string UserName() const;
  // C:\users\<user>\AppData\Roaming, which is what CSIDL_APPDATA gives.
  std::filesystem::path AppDataRoaming() const;

  // Reads a registry value with `reg query` (the server's live state, not
  // the .reg files it writes back lazily). Returns false when the key or the
  // value does not exist. *type is "REG_SZ", "REG_DWORD"...; *data is the
  // value as reg prints it.
  bool QueryValue(const std::string& key, const std::string& value, std::string* type,
                  std::string* data) const;

  // Sets the version Wine reports for this prefix (HKCU\Software\Wine).
  bool SetWindowsVersion(const std::string& version, std::string* error) const;

 private:
  WinePrefix() = default;
  // Replaces the profile folders that Wine links to $HOME by real ones.
  bool MakeProfileFoldersPrivate(std::string* error) const;

  std::filesystem::path path_;
  int lock_fd_ = -1;
  bool server_started_ = false;
  VirtualDisplay display_;
};

// Z:\... form of an absolute Linux path (Wine maps Z: to the root).
std::string ToWindowsPath(const std::filesystem::path& linux_path);

}  // namespace zevrino::e2e
