// DLLs named like system DLLs, left next to the installer in a Downloads
// folder, must never be loaded: their DllMain would run with the user's
// trust in the signed installer. Wine prefers its own builtin DLLs, so the
// runs here ask it to load native DLLs first, as Windows does; each planted
// DLL writes "<name>.loaded" when anything loads it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>

#include "tests/e2e/harness/packing.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

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
  const Bytes exe(5000, 0xE8);
  std::string error;
  ASSERT_TRUE(PackTree({{"Zevrino.exe", exe}}, scratch_.path() / "ZevrinoSetup.exe", &error))
      << error;
  fs::copy_file(scratch_.path() / "ZevrinoSetup.exe", downloads_ / "ZevrinoSetup.exe");
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
      // The default directory, beside the installer and not in the current
      // one, is named from the version resource, read through version.dll
      // at run time.
      {"extract mode, default directory",
       "ZevrinoSetup.exe",
       {"--extract"},
       0,
       [&] {
         EXPECT_EQ(ReadTree(downloads_ / ("zevrino-update-" ZV_PRODUCT_VERSION)),
                   (Tree{{"Zevrino.exe", exe}}));
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

// The import table names only DLLs that Windows always takes from System32
// (KnownDLLs and API sets): any other DLL, a MinGW runtime DLL or a system
// DLL such as version, wininet or comctl32, would be looked for next to the
// installer first, where a planted copy would run before wWinMain.
TEST(StubImportsTest, OnlyDllsWindowsTakesFromSystem32) {
  ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
  const ProcessResult dump =
      RunProcess({"x86_64-w64-mingw32-objdump", "-p", InstallerStubExe().string()}, {},
                 std::chrono::seconds(60));
  ASSERT_TRUE(dump.ExitedWith(0)) << Describe(dump);
  const std::set<std::string> known_dlls = {"kernel32.dll", "user32.dll",  "gdi32.dll",
                                            "advapi32.dll", "shell32.dll", "ole32.dll",
                                            "oleaut32.dll", "msvcrt.dll",  "shlwapi.dll"};
  const std::string tag = "DLL Name: ";
  std::set<std::string> imported;
  for (std::size_t at = dump.out.find(tag); at != std::string::npos;
       at = dump.out.find(tag, at + 1)) {
    std::string name = dump.out.substr(at + tag.size(), dump.out.find('\n', at) - at - tag.size());
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    imported.insert(name);
    // api-ms-win-* are API sets that Windows resolves itself.
    EXPECT_TRUE(known_dlls.count(name) != 0 || name.rfind("api-ms-win-", 0) == 0)
        << "installer_stub.exe imports " << name;
  }
  EXPECT_EQ(imported.count("kernel32.dll"), 1u) << dump.out;
}

}  // namespace
}  // namespace zevrino::e2e
