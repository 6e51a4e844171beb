#pragma once
// Update mode: the installed application has its own files replaced and is
// restarted.

#include <windows.h>

#include <string>
#include <vector>

#include "installer/options.h"
#include "installer/result_code.h"
#include "installer_stub/update_flow.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// The update's steps against the real system: files, registry, the named
// mutexes of this session, the running application's windows, the install
// of the payload and the start of the updated application with the
// forwarded arguments of `options`.
class WindowsUpdateSystem final : public UpdateSystem {
 public:
  // GetFinalPathNameByHandleW's signature: file systems and redirectors that
  // do not support the call make it fail, which tests imitate.
  using FinalPathQuery = DWORD(WINAPI*)(HANDLE file, LPWSTR path, DWORD size, DWORD flags);

  explicit WindowsUpdateSystem(const Options& options,
                               FinalPathQuery final_path = ::GetFinalPathNameByHandleW)
      : options_(options), final_path_(final_path) {}

  void Sleep(unsigned milliseconds) override;
  const char* DefaultInstallDirectory() override;
  std::vector<std::string> ProtectedFolders() override;
  bool PathsEqual(const char* a, const char* b) override;
  std::string ResolveExistingDirectory(const std::string& directory) override;
  bool HoldsInstallation(const std::string& directory) override;
  bool IdentifyInstallation(const std::string& directory, InstallationIdentity* identity) override;
  void DeleteStartupEntry() override;
  bool HoldNamedMutex(const wchar_t* name) override;
  bool TryHoldNewNamedMutex(const wchar_t* name, bool* held) override;
  bool NamedMutexExists(const wchar_t* name) override;
  void CloseRunningApplication(const std::string& directory) override;
  FileAccess OpenExclusively(const char* path) override;
  bool CanCreateFileIn(const std::string& directory) override;
  ResultCode InstallAndRegister(const std::string& directory, const PayloadReader& reader) override;
  bool StartApplication(const char* directory, const char* extra_argument) override;

 private:
  const Options& options_;
  const FinalPathQuery final_path_;
};

// RunUpdate (update_flow.h) of the path given after `update` in `options`,
// against WindowsUpdateSystem. `held` says which named mutexes earlier
// attempts of this process hold.
ResultCode RunUpdate(const Options& options, const PayloadReader& reader, UpdateMutexes& held);

}  // namespace zevrino::desktop::installer
