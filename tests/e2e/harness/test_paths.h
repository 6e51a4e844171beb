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

#include "tests/e2e/harness/support.h"

namespace zevrino::e2e {

namespace fs = std::filesystem;

std::filesystem::path HostBuildDir();
std::filesystem::path WindowsBuildDir();

std::filesystem::path RunLimitedExe();     // the limited-token launcher
std::filesystem::path TokenProbeExe();     // reports token, version, args
std::filesystem::path InstallerStubExe();  // the bare installer, no payload
// Any program of the Windows build's tests/e2e/windows (dialog_robot.exe,
// ui_driver.exe, recorder.exe...).
std::filesystem::path WindowsTestProgram(const std::string& file_name);
std::filesystem::path RecorderExe();  // notes its starts in "<exe>.log"

// The stand-in for the installed Zevrino.exe (behaviour: see
// tests/e2e/windows/zevrino_standin.cpp), built with a product version the
// same as the installer's (ZV_PRODUCT_VERSION), older (1.0.0.1) or newer
// (9.9.9.9).
enum class StandinVersion { kSame, kOlder, kNewer };
std::filesystem::path ZevrinoStandinExe(StandinVersion version = StandinVersion::kSame);

// The Windows checks of starting, shortcuts, URI and closing of the
// installed application, run inside the prefix by e2e_application_tests.
std::filesystem::path ApplicationTestsExe();
std::filesystem::path PlantedDll();             // a DLL whose loading leaves a marker file
std::filesystem::path VersionImportProbeExe();  // imports version.dll statically

// A scratch directory under the host build tree (reachable from Wine as Z:).
// Its removal is not checked: a program a test leaves running in the prefix
// may still write into it.
class ScratchDir : public ScratchDirectory {
 public:
  explicit ScratchDir(const std::string& label)
      : ScratchDirectory(label, Removal::kUnchecked, HostBuildDir() / "e2e" / "scratch") {}
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
