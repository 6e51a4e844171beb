#pragma once
// Where the end-to-end tests find their programs.
//
// The Windows build is taken from $ZV_WINDOWS_BUILD_DIR, else from the
// directory compiled in (the source tree's build/windows). Tests that need a
// Windows program skip, saying which file is missing, when it is absent;
// they never pass without having run.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace zevrino::e2e {

std::filesystem::path HostBuildDir();
std::filesystem::path WindowsBuildDir();

std::filesystem::path RunLimitedExe();     // the limited-token launcher
std::filesystem::path TokenProbeExe();     // reports token, version, args
std::filesystem::path InstallerStubExe();  // the bare installer, no payload
std::filesystem::path RecorderExe();       // notes its command line, exits as told
std::filesystem::path DownloadProbeExe();  // the installer's download on its own
std::filesystem::path HoldFileExe();       // keeps a file open until released
std::filesystem::path DialogRobotExe();    // reads and answers windows and dialogs

// A fresh directory under the host build tree (reachable from Wine as Z:),
// removed with its contents when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& label);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Set when a test skipped because the Windows build is missing; the main
// function then exits with the code ctest counts as "skipped".
void NoteWindowsBuildMissing();
bool WindowsBuildWasMissing();
constexpr int kSkipExitCode = 77;

}  // namespace zevrino::e2e

// Skips the current test when the Windows program at `program_path` does not
// exist.
#define ZV_REQUIRE_WINDOWS_PROGRAM(program_path)                                            \
  do {                                                                                      \
    const std::filesystem::path zv_required_program = (program_path);                       \
    if (!std::filesystem::exists(zv_required_program)) {                                    \
      ::zevrino::e2e::NoteWindowsBuildMissing();                                            \
      GTEST_SKIP() << "Windows build missing: " << zv_required_program                      \
                   << " does not exist (build the cross tree or set ZV_WINDOWS_BUILD_DIR)"; \
    }                                                                                       \
  } while (false)
