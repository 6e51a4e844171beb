#include "tests/e2e/harness/test_paths.h"

#include <cstdlib>
#include <random>

namespace zevrino::e2e {

namespace fs = std::filesystem;

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
fs::path RecorderExe() {
  return WindowsBuildDir() / "tests/e2e/windows/recorder.exe";
}
fs::path DownloadProbeExe() {
  return WindowsBuildDir() / "tests/e2e/windows/download_probe.exe";
}
fs::path HoldFileExe() {
  return WindowsBuildDir() / "tests/e2e/windows/hold_file.exe";
}
fs::path DialogRobotExe() {
  return WindowsBuildDir() / "tests/e2e/windows/dialog_robot.exe";
}
fs::path InstallerStubExe() {
  return WindowsBuildDir() / "installer_stub.exe";
}

ScratchDir::ScratchDir(const std::string& label) {
  std::random_device random;
  path_ = HostBuildDir() / "e2e" / "scratch" / (label + "-" + std::to_string(random()));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void NoteWindowsBuildMissing() {
  windows_build_missing = true;
}
bool WindowsBuildWasMissing() {
  return windows_build_missing;
}

}  // namespace zevrino::e2e
