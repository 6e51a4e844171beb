#include "tests/e2e/harness/test_paths.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
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

std::vector<std::uint8_t> ReadBinaryFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

void WriteBinaryFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << "cannot write " << path;
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
