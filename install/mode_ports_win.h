#pragma once
// The real system behind the modes' ports (base/mode_ports.h): waits,
// the installation's files, the registry, the running application and the
// install of the payload.

#include <string>
#include <vector>

#include "base/mode_ports.h"
#include "base/options.h"
#include "payload/extract_archive.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

class WindowsClock final : public Clock {
 public:
  void Sleep(unsigned milliseconds) override;
};

class WindowsInstallationProbe final : public InstallationProbe {
 public:
  // `mu_suffix`: Options::mu_suffix, checked with IsValidMuSuffix.
  explicit WindowsInstallationProbe(const char* mu_suffix) : mu_suffix_(mu_suffix) {}
  std::wstring DefaultDirectory() override;
  bool HoldsProduct(const std::wstring& directory) override;
  bool HoldsSameOrNewerVersion(const std::wstring& directory) override;
  bool Identify(const std::wstring& directory, InstallationIdentity* identity) override;

 private:
  const char* mu_suffix_;
};

class WindowsFiles final : public Files {
 public:
  FileAccess OpenExclusively(const std::wstring& path) override;
  bool CanCreateFileIn(const std::wstring& directory) override;
  void Delete(const std::wstring& path) override;
};

class WindowsRegistry final : public Registry {
 public:
  void DeleteStartupValue() override;
};

// Starts the application with `forwarded`, the `mu` and other arguments the
// installer was given.
class WindowsRunningApplication final : public RunningApplication {
 public:
  explicit WindowsRunningApplication(const ForwardedArguments& forwarded) : forwarded_(forwarded) {}
  bool IsRunning() override;
  void Close(const std::wstring& directory) override;
  void CloseHttpsListener(const std::wstring& directory) override;
  bool Start(const std::wstring& directory, const char* extra) override;

 private:
  const ForwardedArguments& forwarded_;
};

// Installs `reader`'s archive with `options` (payload/extract_archive.h);
// the old files a commit parks in options.parked_files, when set, go in
// DeleteReplacedFiles.
class WindowsInstallation final : public Installation {
 public:
  WindowsInstallation(const PayloadReader& reader, const ExtractOptions& options)
      : reader_(reader), options_(options) {}
  ResultCode InstallAndRegister(const std::wstring& directory) override;
  void DeleteReplacedFiles() override;
  void CreateShortcuts(const std::wstring& directory) override;

 private:
  const PayloadReader& reader_;
  const ExtractOptions& options_;
};

}  // namespace zevrino::desktop::installer
