#pragma once
// A private Wine prefix for end-to-end tests and the ways a test reaches into
// it: starting Windows programs (as the full-token process Wine gives every
// program started from Linux, or as a normal user through run_limited.exe),
// the files of drive C and the user's profile, and the registry.
//
// Prefixes live under the host build tree, one per name, and are created on
// first use (wineboot -i). Concurrent test programs may share a prefix: its
// creation and version change are serialised with a lock file, and the
// wineserver is started persistent with a grace period, so it outlives each
// test program briefly and then ends by itself.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/harness/process.h"

namespace zevrino::e2e {

struct PrefixOptions {
  std::string name = "default";
  // What Wine reports as the Windows version: "win10", "win81", "win7"...
  std::string windows_version = "win10";
};

class WinePrefix {
 public:
  // Creates or reuses the prefix `options.name`, sets its Windows version
  // and starts its wineserver. On failure *error says which step failed.
  static bool Prepare(const PrefixOptions& options, WinePrefix* prefix, std::string* error);

  const std::filesystem::path& path() const { return path_; }
  // WINEPREFIX and WINEDEBUG for programs started in this prefix.
  Environment BaseEnvironment() const;

  // `wine PROGRAM ARGS...` with the full administrator token. PROGRAM is a
  // Linux path or a Windows program name (reg.exe).
  ProcessResult RunWine(const std::vector<std::string>& command,
                        const Environment& environment = {},
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
  std::filesystem::path path_;
};

// Z:\... form of an absolute Linux path (Wine maps Z: to the root).
std::string ToWindowsPath(const std::filesystem::path& linux_path);

}  // namespace zevrino::e2e
