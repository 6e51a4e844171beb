// DLLs named like system DLLs, left next to the installer in a Downloads
// folder, must never be loaded: their DllMain would run with the user's
// trust in the signed installer. Wine prefers its own builtin DLLs, so the
// runs here ask it to load native DLLs first, as Windows does; each planted
// DLL writes "<name>.loaded" when anything loads it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"
#include "tools/pack_installer/packer.h"

namespace zevrino::e2e {
namespace {

namespace packer = desktop::packer;

// DLLs that the installer, or the system DLLs it uses, load at run time
// (wininet, comctl32's uxtheme, and what they load in turn). version.dll is
// planted for the control run only: Wine's own user32 imports it statically
// (Windows' user32 does not, and is a KnownDLL), so under Wine any program
// that uses user32 loads a planted version.dll before its first line runs.
// The installer's own version.dll use is covered by the import-table test
// and by the default extract folder below, which only a genuine version.dll
// can name.
const char* const kPlantedNames[] = {"wininet.dll", "uxtheme.dll", "userenv.dll", "dwmapi.dll"};

Environment NativeFirst() {
  return {{"WINEDLLOVERRIDES", "mscoree,mshtml=;version,wininet,uxtheme,userenv,dwmapi=n,b"}};
}

class DllPlantingTest : public PrefixTest {
 protected:
  void SetUp() override {
    for (const fs::path& program :
         {RunLimitedExe(), InstallerStubExe(), PlantedDll(), VersionImportProbeExe()}) {
      ZV_REQUIRE_WINDOWS_PROGRAM(program);
    }
    ASSERT_TRUE(OpenSharedPrefix({"dll_planting"})) << PrefixError();
    for (const char* name : kPlantedNames) {
      fs::copy_file(PlantedDll(), downloads_ / name, fs::copy_options::overwrite_existing);
    }
  }

  // The planted DLLs that something loaded since the last call, with the
  // programs that loaded them; the markers are removed.
  std::string TakeMarkers() {
    std::string loaded;
    for (const auto& entry : fs::directory_iterator(downloads_)) {
      if (entry.path().extension() == ".loaded") {
        std::string name = entry.path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        loaded += name + " ";
        fs::remove(entry.path());
      }
    }
    return loaded;
  }

  ScratchDir scratch_{"dll_planting"};
  fs::path downloads_ = scratch_.path() / "Downloads";
  const bool made_ = fs::create_directories(downloads_);
};

// The check below is not vacuous: a program that imports version.dll
// statically, started from the same folder with the same settings, loads
// the planted one before its first line runs.
TEST_F(DllPlantingTest, AStaticImportLoadsThePlantedDll) {
  fs::copy_file(VersionImportProbeExe(), downloads_ / "probe.exe");
  fs::copy_file(PlantedDll(), downloads_ / "version.dll");
  const ProcessResult result =
      prefix_->RunAsUser(RunLimitedExe(), downloads_ / "probe.exe", {}, NativeFirst());
  EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
  EXPECT_EQ(TakeMarkers(), "version.dll.loaded ");
}

TEST_F(DllPlantingTest, TheInstallerLoadsNoDllFromItsFolder) {
  const fs::path app = scratch_.path() / "app";
  const Bytes exe(5000, 0xE8);
  WriteBytes(app / "Zevrino.exe", exe);
  packer::PackRequest request;
  request.stub_path = InstallerStubExe().string();
  request.output_path = (downloads_ / "ZevrinoSetup.exe").string();
  request.body = {packer::BodySource::Kind::kAppDir, app.string()};
  request.encoding.preset = 1;
  std::string error;
  ASSERT_TRUE(packer::Pack(request, &error)) << error;
  fs::copy_file(InstallerStubExe(), downloads_ / "NoPayload.exe");

  const fs::path target = scratch_.path() / "target";
  // Every kind of run the installer makes, each with what shows it did its
  // work.
  const struct {
    const char* name;
    const char* program;
    std::vector<std::string> args;
    int exit_code;
    std::function<void()> check;
  } runs[] = {
      // The default directory is named from the version resource, read
      // through version.dll at run time.
      {"extract mode, default directory",
       "ZevrinoSetup.exe",
       {"--extract"},
       0,
       [&] {
         EXPECT_EQ(ReadBytes(downloads_ / ("zevrino-update-" ZV_PRODUCT_VERSION) / "Zevrino.exe"),
                   exe);
       }},
      {"extract mode, given directory",
       "ZevrinoSetup.exe",
       {"--extract", ToWindowsPath(target)},
       0,
       [&] { EXPECT_EQ(ReadBytes(target / "Zevrino.exe"), exe); }},
      {"payload error", "NoPayload.exe", {"--silent"}, 4, [] {}},
      // The installed Zevrino.exe has no version resource, so the second
      // run asks nothing and shows only its progress window.
      {"silent install",
       "ZevrinoSetup.exe",
       {"--silent", "--skip-app-launch"},
       0,
       [&] { EXPECT_EQ(ReadBytes(prefix_->AppDataRoaming() / "Zevrino/Zevrino.exe"), exe); }},
      {"interactive install with its window",
       "ZevrinoSetup.exe",
       {"--skip-app-launch"},
       0,
       [&] { EXPECT_EQ(ReadBytes(prefix_->AppDataRoaming() / "Zevrino/Zevrino.exe"), exe); }},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    const ProcessResult result =
        prefix_->RunAsUser(RunLimitedExe(), downloads_ / run.program, run.args, NativeFirst());
    EXPECT_TRUE(result.ExitedWith(run.exit_code)) << Describe(result);
    run.check();
    EXPECT_EQ(TakeMarkers(), "");
  }
}

}  // namespace
}  // namespace zevrino::e2e
