// The log file of the real installer_stub.exe under Wine: what --log-file
// writes for a payload the installer refuses, that a second run appends, and
// that a log file which cannot be opened changes nothing about a run.

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "tests/e2e/harness/packing.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

int SecondsOfDayUtc(std::chrono::system_clock::time_point when) {
  const long long seconds =
      std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
  return static_cast<int>(seconds % 86400);
}

class LogFileTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
    // A valid installer of one file, and the same with a byte of its body
    // flipped: the digest no longer matches, which is payload error 2.
    std::string error;
    ASSERT_TRUE(PackTree({{"Zevrino.exe", Bytes(5000, 0x90)}}, PathOf("valid.exe"), &error))
        << error;
    Bytes file = ReadBytes(PathOf("valid.exe"));
    file[fs::file_size(InstallerStubExe()) + 4 + 20 + 10] ^= 0x01;
    WriteBytes(PathOf("corrupt.exe"), file);
  }

  fs::path PathOf(const std::string& name) const { return scratch_.path() / fs::u8path(name); }

  ProcessResult Run(const std::string& installer, const std::vector<std::string>& args) {
    // A zone far from UTC (+05:45) shows a time stamp taken in local time.
    return prefix_->RunAsUser(RunLimitedExe(), PathOf(installer), args, {{"TZ", "Asia/Kathmandu"}});
  }

  ScratchDir scratch_{"log"};
};

// The path is taken as UTF-8 from the command line; each run appends one
// line "HH:MM:SS.mmm E [location padded to 32] message" CR LF, its time of
// day in UTC, and writes nothing to standard output.
TEST_F(LogFileTest, PayloadErrorIsLoggedInUtcAndLaterRunsAppend) {
  const fs::path log = PathOf(u8"journal \u00e9\u65e5\u672c") / "install.log";
  fs::create_directories(log.parent_path());
  const std::regex line(
      R"((\d\d):(\d\d):(\d\d)\.\d{3} E \[/f:908 {26}\] Zevrino Installer - Error reading )"
      R"(installer payload: 2\r\n)");
  std::string previous;
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const int before = SecondsOfDayUtc(std::chrono::system_clock::now()) - 1;
    const ProcessResult result = Run("corrupt.exe", {"--log-file", ToWindowsPath(log), "--silent"});
    const int after = SecondsOfDayUtc(std::chrono::system_clock::now()) + 1;
    EXPECT_TRUE(result.ExitedWith(2)) << Describe(result);
    EXPECT_EQ(result.out.find("Error reading installer payload"), std::string::npos) << result.out;

    const std::string text = ReadText(log);
    ASSERT_EQ(text.compare(0, previous.size(), previous), 0) << "earlier lines changed";
    std::smatch parts;
    const std::string added = text.substr(previous.size());
    ASSERT_TRUE(std::regex_match(added, parts, line)) << added;
    const int logged = std::stoi(parts[1]) * 3600 + std::stoi(parts[2]) * 60 + std::stoi(parts[3]);
    if (before <= after) {  // the run did not cross midnight
      EXPECT_TRUE(before <= logged && logged <= after) << added;
    }
    previous = text;
  }
}

// A log that cannot be opened (here a folder) discards its lines; the run
// itself ends exactly as a run without a log would.
TEST_F(LogFileTest, UnopenableLogChangesNothingAboutTheRun) {
  fs::create_directories(PathOf("a folder"));
  const std::string log = ToWindowsPath(PathOf("a folder"));
  const ProcessResult refused = Run("corrupt.exe", {"--log-file", log, "--silent"});
  EXPECT_TRUE(refused.ExitedWith(2)) << Describe(refused);
  const ProcessResult extracted =
      Run("valid.exe", {"--log-file", log, "--extract", ToWindowsPath(PathOf("target"))});
  EXPECT_TRUE(extracted.ExitedWith(0)) << Describe(extracted);
  EXPECT_EQ(ReadTree(PathOf("target")), (Tree{{"Zevrino.exe", Bytes(5000, 0x90)}}));
  EXPECT_TRUE(fs::is_empty(PathOf("a folder")));
}

}  // namespace
}  // namespace zevrino::e2e
