#include "tests/e2e/harness/test_paths.h"

#include <cstdlib>

namespace zevrino::e2e {

namespace {
bool windows_build_missing = false;  // this test program's skip state
}  // namespace

fs::path HostBuildDir() {
  return ZV_HOST_BUILD_DIR;
}

fs::path WindowsBuildDir() {
  const char* dir = std::getenv("ZV_WINDOWS_BUILD_DIR");
  return dir != nullptr && *dir != '\0' ? fs::path(dir) : fs::path(ZV_DEFAULT_WINDOWS_BUILD_DIR);
}

fs::path RunLimitedExe() {
  return WindowsBuildDir() / "tests/e2e/windows/run_limited.exe";
}
fs::path TokenProbeExe() {
  return WindowsBuildDir() / "tests/e2e/windows/token_probe.exe";
}
fs::path WindowsTestProgram(const std::string& file_name) {
  return WindowsBuildDir() / "tests/e2e/windows" / file_name;
}
fs::path InstallerStubExe() {
  return WindowsBuildDir() / "installer_stub.exe";
}
fs::path RecorderExe() {
  return WindowsBuildDir() / "tests/e2e/windows/recorder.exe";
}
fs::path ZevrinoStandinExe(StandinVersion version) {
  const char* name = version == StandinVersion::kOlder   ? "zevrino_standin_old.exe"
                     : version == StandinVersion::kNewer ? "zevrino_standin_new.exe"
                                                         : "zevrino_standin.exe";
  return WindowsBuildDir() / "tests/e2e/windows" / name;
}
fs::path ApplicationTestsExe() {
  return WindowsBuildDir() / "tests/e2e/windows/application_tests.exe";
}
fs::path PlantedDll() {
  return WindowsBuildDir() / "tests/e2e/windows/planted.dll";
}
fs::path VersionImportProbeExe() {
  return WindowsBuildDir() / "tests/e2e/windows/version_import_probe.exe";
}

void NoteWindowsBuildMissing() {
  windows_build_missing = true;
}
bool WindowsBuildWasMissing() {
  return windows_build_missing;
}

}  // namespace zevrino::e2e
