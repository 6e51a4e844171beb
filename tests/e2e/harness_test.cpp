// The harness itself, checked with the token probe: the launcher really drops
// the full token, arguments, environment, output and exit codes pass through
// unchanged, and the test can see files and registry values that a Windows
// program wrote in the prefix.

#include <gtest/gtest.h>

#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}

class HarnessTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(TokenProbeExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
  }

  ProcessResult Probe(const std::vector<std::string>& args, const Environment& env = {}) {
    return prefix_->RunAsUser(RunLimitedExe(), TokenProbeExe(), args, env);
  }
};

TEST_F(HarnessTest, LauncherRunsTheProgramWithTheLimitedToken) {
  // Wine gives a program started from Linux the full token...
  const ProcessResult direct = prefix_->RunWine({TokenProbeExe().string()});
  ASSERT_TRUE(direct.ExitedWith(0)) << Describe(direct);
  EXPECT_EQ(Lines(direct.out).at(0), "elevation=2");
  // ...and the launcher hands its child the linked, limited one.
  const ProcessResult limited = Probe({});
  ASSERT_TRUE(limited.ExitedWith(0)) << Describe(limited);
  EXPECT_EQ(Lines(limited.out), (std::vector<std::string>{"elevation=3", "version=10.0"}));
}

TEST_F(HarnessTest, ArgumentsEnvironmentOutputAndExitCodePassThrough) {
  const std::vector<std::string> args = {
      "plain",   "two words", "q\"uote", "tail\\", "", "a\\\\\"b c\"", "\xC3\xBC\xE2\x82\xAC",
      "--silent"};
  std::vector<std::string> command = {"--exit", "57", "--env", "ZV_E2E_VALUE"};
  command.insert(command.end(), args.begin(), args.end());
  const ProcessResult result = Probe(command, {{"ZV_E2E_VALUE", "set on Linux"}});
  ASSERT_TRUE(result.ExitedWith(57)) << Describe(result);
  std::vector<std::string> expected = {"elevation=3", "version=10.0", "env=set on Linux"};
  for (const std::string& arg : args) {
    expected.push_back("arg=" + arg);
  }
  EXPECT_EQ(Lines(result.out), expected);
  EXPECT_EQ(Lines(result.err), std::vector<std::string>{"probe stderr"});

  // A program that cannot be started gives the launcher's own code.
  const ProcessResult missing =
      prefix_->RunAsUser(RunLimitedExe(), prefix_->path() / "no-such-program.exe", {});
  EXPECT_TRUE(missing.ExitedWith(240)) << Describe(missing);
  EXPECT_NE(missing.err.find("run_limited: CreateProcessAsUserW failed (error 2)"),
            std::string::npos)
      << missing.err;
}

TEST_F(HarnessTest, SeesFilesAndRegistryValuesThatTheProgramWrote) {
  ASSERT_FALSE(prefix_->UserName().empty());
  const std::filesystem::path file = prefix_->AppDataRoaming() / "zv-e2e-probe.txt";
  std::filesystem::remove(file);
  const ProcessResult result = Probe({"--appdata-file", "zv-e2e-probe.txt", "written by probe",
                                      "--registry-value", "Probe", "value with  blanks"});
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);

  EXPECT_EQ(ReadText(file), "written by probe");
  std::string type, data;
  ASSERT_TRUE(prefix_->QueryValue("HKCU\\Software\\ZevrinoE2eProbe", "Probe", &type, &data));
  EXPECT_EQ(type, "REG_SZ");
  EXPECT_EQ(data, "value with  blanks");
  EXPECT_FALSE(prefix_->QueryValue("HKCU\\Software\\ZevrinoE2eProbe", "Absent", &type, &data));
  EXPECT_FALSE(prefix_->QueryValue("HKCU\\Software\\ZevrinoE2eNoSuchKey", "Probe", &type, &data));
}

// Windows and dialogs need an X display; the prefix session brings its own.
TEST_F(HarnessTest, ProgramsCanCreateWindows) {
  const ProcessResult result = Probe({"--window"});
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  EXPECT_EQ(Lines(result.out).at(2), "window=1");
}

// Refusing old Windows needs a prefix that reports it; such prefixes are
// kept apart by name so that concurrent tests do not see each other's
// setting.
TEST_F(HarnessTest, PrefixReportsTheChosenWindowsVersion) {
  std::string error;
  const std::unique_ptr<WinePrefix> old_windows = WinePrefix::Open({"win81", "win81"}, &error);
  ASSERT_NE(old_windows, nullptr) << error;
  EXPECT_NE(old_windows->path(), prefix_->path());
  const ProcessResult result = old_windows->RunAsUser(RunLimitedExe(), TokenProbeExe(), {});
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  EXPECT_EQ(Lines(result.out).at(1), "version=6.3");
}

}  // namespace
}  // namespace zevrino::e2e
