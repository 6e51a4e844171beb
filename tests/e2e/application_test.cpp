// Starting the installed application, its shortcuts, its URI and closing it
// when it runs, under Wine: the checks that need the Windows calls run in
// one start of application_tests.exe inside this test's prefix; from Linux
// the test then sees where the shortcuts landed.
//
// Where Wine differs from Windows here:
// - A new prefix links Desktop (and Documents...) to the Linux home folder;
//   the harness replaces those links by folders of the prefix, so the
//   desktop shortcut is found under drive_c/users/<user>/Desktop and not in
//   $HOME. The Start menu programs folder is a real folder under the roaming
//   profile in every prefix, as on Windows.
// - The zevrino scheme is looked up in HKLM\Software\Classes only; Windows
//   would also honour a handler registered under HKCU\Software\Classes.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

TEST(ApplicationTest, StartShortcutsUriAndClosingUnderWine) {
  ZV_REQUIRE_WINDOWS_PROGRAM(ApplicationTestsExe());
  ZV_REQUIRE_WINDOWS_PROGRAM(ZevrinoStandinExe());
  ZV_REQUIRE_WINDOWS_PROGRAM(RecorderExe());
  std::string error;
  const std::unique_ptr<WinePrefix> prefix = WinePrefix::Open({"application"}, &error);
  ASSERT_NE(prefix, nullptr) << error;
  const fs::path profile = prefix->DriveC() / "users" / prefix->UserName();
  const fs::path desktop_link = profile / "Desktop" / "Zevrino.lnk";
  const fs::path start_menu_link =
      prefix->AppDataRoaming() / "Microsoft/Windows/Start Menu/Programs/Zevrino.lnk";
  fs::remove(desktop_link);
  fs::remove(start_menu_link);

  const ScratchDir work("application");
  const ProcessResult result = prefix->RunWine(
      {ApplicationTestsExe().string(), "--gtest_brief=1"},
      {{"ZV_APPLICATION_TEST_DIR", ToWindowsPath(work.path())}}, std::chrono::minutes(10));
  EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
  // Every check ran: none was skipped for a missing program or folder.
  EXPECT_NE(result.out.find("[  PASSED  ]"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("SKIPPED"), std::string::npos) << result.out;

  // The shortcuts are files of this prefix, not of the Linux home folder.
  EXPECT_FALSE(fs::is_symlink(profile / "Desktop"));
  EXPECT_TRUE(fs::is_regular_file(desktop_link)) << desktop_link;
  EXPECT_TRUE(fs::is_regular_file(start_menu_link)) << start_menu_link;
  fs::remove(desktop_link);
  fs::remove(start_menu_link);
}

}  // namespace
}  // namespace zevrino::e2e
