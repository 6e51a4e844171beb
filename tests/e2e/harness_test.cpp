// The harness itself, checked with the token probe: the launcher really drops
// the full token, arguments, environment, output and exit codes pass through
// unchanged, windows can be made, and the test can see files and registry
// values that a Windows program wrote in the prefix.

#include <gtest/gtest.h>

#include "tests/e2e/harness/dialog_robot.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

class HarnessTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(TokenProbeExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
  }
};

TEST_F(HarnessTest, LauncherPassesEverythingThroughWithTheLimitedToken) {
  // Wine gives a program started from Linux the full token...
  const ProcessResult direct = prefix_->RunWine({TokenProbeExe().string()});
  ASSERT_TRUE(direct.ExitedWith(0)) << Describe(direct);
  EXPECT_EQ(OutputLines(direct.out).at(0), "elevation=2");

  // ...and the launcher hands its child the linked, limited one.
  const fs::path file = prefix_->AppDataRoaming() / "zv-e2e-probe.txt";
  fs::remove(file);
  const std::vector<std::string> args = {
      "plain",   "two words", "q\"uote", "tail\\", "", "a\\\\\"b c\"", "\xC3\xBC\xE2\x82\xAC",
      "--silent"};
  std::vector<std::string> command = {"--exit",
                                      "57",
                                      "--env",
                                      "ZV_E2E_VALUE",
                                      "--window",
                                      "--appdata-file",
                                      "zv-e2e-probe.txt",
                                      "written by probe",
                                      "--registry-value",
                                      "Probe",
                                      "value with  blanks"};
  command.insert(command.end(), args.begin(), args.end());
  const ProcessResult result = prefix_->RunAsUser(RunLimitedExe(), TokenProbeExe(), command,
                                                  {{"ZV_E2E_VALUE", "set on Linux"}});
  ASSERT_TRUE(result.ExitedWith(57)) << Describe(result);
  std::vector<std::string> expected = {"elevation=3", "version=10.0", "env=set on Linux",
                                       "window=1"};
  for (const std::string& arg : args) {
    expected.push_back("arg=" + arg);
  }
  EXPECT_EQ(OutputLines(result.out), expected);
  EXPECT_EQ(OutputLines(result.err), std::vector<std::string>{"probe stderr"});
  EXPECT_EQ(ReadText(file), "written by probe");
  std::string type, data;
  ASSERT_TRUE(prefix_->QueryValue("HKCU\\Software\\ZevrinoE2eProbe", "Probe", &type, &data));
  EXPECT_EQ(type + " " + data, "REG_SZ value with  blanks");
  EXPECT_FALSE(prefix_->QueryValue("HKCU\\Software\\ZevrinoE2eProbe", "Absent", &type, &data));

  // A program that cannot be started gives the launcher's own code.
  const ProcessResult missing =
      prefix_->RunAsUser(RunLimitedExe(), prefix_->path() / "no-such-program.exe", {});
  EXPECT_TRUE(missing.ExitedWith(240)) << Describe(missing);
  EXPECT_NE(missing.err.find("run_limited: CreateProcessAsUserW failed (error 2)"),
            std::string::npos)
      << missing.err;
}

}  // namespace
}  // namespace zevrino::e2e
