// The log file of the real installer_stub.exe under Wine: what --log-file
// writes for a payload the installer refuses, that a second run appends, and
// that a log file which cannot be opened changes nothing about a run.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"
#include "tools/pack_installer/packer.h"

namespace zevrino::e2e {
namespace {

namespace packer = desktop::packer;
// Lines including their ending; a tail without "\n" is a line of its own.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

int SecondsOfDayUtc(std::chrono::system_clock::time_point when) {
  const long long seconds =
      std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
  return static_cast<int>(((seconds % 86400) + 86400) % 86400);
}

// Checks one line of the payload error against the log's layout: UTC time
// of day "HH:MM:SS.mmm" taken between `before` and `after`, level letter,
// location padded to 32, message, CR LF.
void ExpectPayloadErrorLine(const std::string& line, int code,
                            std::chrono::system_clock::time_point before,
                            std::chrono::system_clock::time_point after) {
  SCOPED_TRACE("line: " + line);
  const std::string expected_rest =
      std::string(" E [") + "/f:908" + std::string(26, ' ') +
      "] Zevrino Installer - Error reading installer payload: " + std::to_string(code) + "\r\n";
  ASSERT_EQ(line.size(), 12 + expected_rest.size());
  EXPECT_EQ(line.substr(12), expected_rest);
  const std::string time = line.substr(0, 12);
  for (std::size_t i = 0; i < time.size(); ++i) {
    const bool separator = i == 2 || i == 5 || i == 8;
    if (separator) {
      EXPECT_EQ(time[i], i == 8 ? '.' : ':') << time;
    } else {
      EXPECT_TRUE(time[i] >= '0' && time[i] <= '9') << time;
    }
  }
  const int hours = std::stoi(time.substr(0, 2));
  const int minutes = std::stoi(time.substr(3, 2));
  const int seconds = std::stoi(time.substr(6, 2));
  EXPECT_LT(hours, 24);
  EXPECT_LT(minutes, 60);
  EXPECT_LT(seconds, 60);
  // In UTC, not local time (the runs set a time zone far from UTC), and
  // within the run, allowing a second for rounding on each side.
  const int logged = hours * 3600 + minutes * 60 + seconds;
  const int from = SecondsOfDayUtc(before) - 1;
  const int span = SecondsOfDayUtc(after) + 1 - from;
  const int offset = ((logged - from) % 86400 + 86400) % 86400;
  EXPECT_LE(offset, (span % 86400 + 86400) % 86400)
      << "logged " << time << " not between UTC " << SecondsOfDayUtc(before) << "s and "
      << SecondsOfDayUtc(after) << "s of the day";
}

class LogFileTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
  }

  fs::path PathOf(const std::string& name) const { return scratch_.path() / fs::u8path(name); }

  // A valid installer of one small file, stored so that a byte of the body
  // can be flipped at a known place.
  fs::path ValidInstaller() {
    const fs::path app = PathOf("app");
    WriteBytes(app / "Zevrino.exe", Bytes(5000, 0x90));
    WriteBytes(app / "locales" / "de.pak", Bytes{'d', 'e'});
    packer::PackRequest request;
    request.stub_path = InstallerStubExe().string();
    request.output_path = PathOf("valid.exe").string();
    request.body = {packer::BodySource::Kind::kAppDir, app.string()};
    request.encoding.compression = packer::Compression::kStored;
    std::string error;
    EXPECT_TRUE(packer::Pack(request, &error)) << error;
    return request.output_path;
  }

  // The same installer with one body byte changed: the digest no longer
  // matches, which the installer reports as payload error 2.
  fs::path CorruptInstaller() {
    const fs::path valid = ValidInstaller();
    Bytes file = ReadBytes(valid);
    const std::size_t body_at = ReadBytes(InstallerStubExe()).size() + 4 + 20;
    EXPECT_LT(body_at + 100, file.size());
    file[body_at + 100] ^= 0x01;
    WriteBytes(PathOf("corrupt.exe"), file);
    return PathOf("corrupt.exe");
  }

  ProcessResult Run(const fs::path& installer, const std::vector<std::string>& args) {
    // A zone far from UTC (+05:45) shows a time stamp taken in local time.
    return prefix_->RunAsUser(RunLimitedExe(), installer, args, {{"TZ", "Asia/Kathmandu"}});
  }

  ScratchDir scratch_{"log"};
};

TEST_F(LogFileTest, PayloadErrorIsLoggedWithCrLfAndLaterRunsAppend) {
  const fs::path installer = CorruptInstaller();
  const fs::path log = PathOf("install.log");
  std::vector<std::string> previous_lines;
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const auto before = std::chrono::system_clock::now();
    const ProcessResult result = Run(installer, {"--log-file", ToWindowsPath(log), "--silent"});
    const auto after = std::chrono::system_clock::now();
    EXPECT_TRUE(result.ExitedWith(2)) << Describe(result);
    // The file sink replaces the console one: nothing on standard output.
    EXPECT_EQ(result.out.find("Error reading installer payload"), std::string::npos) << result.out;

    const std::vector<std::string> lines = SplitLines(ReadText(log));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(run));
    // Earlier lines stay as they were.
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 1), previous_lines);
    ExpectPayloadErrorLine(lines.back(), 2, before, after);
    previous_lines = lines;
  }
}

// The log path is taken as UTF-8 from the command line; a folder outside the
// ANSI code page must not lose the log.
TEST_F(LogFileTest, LogPathBeyondAscii) {
  const fs::path installer = CorruptInstaller();
  const fs::path log = PathOf(u8"journal \u00e9\u65e5\u672c") / "install.log";
  fs::create_directories(log.parent_path());
  const auto before = std::chrono::system_clock::now();
  const ProcessResult result = Run(installer, {"--log-file", ToWindowsPath(log), "--silent"});
  const auto after = std::chrono::system_clock::now();
  EXPECT_TRUE(result.ExitedWith(2)) << Describe(result);
  const std::vector<std::string> lines = SplitLines(ReadText(log));
  ASSERT_EQ(lines.size(), 1u) << "files there: " << [&] {
    std::string names;
    for (const auto& entry : fs::directory_iterator(scratch_.path())) {
      names += entry.path().filename().u8string() + " ";
    }
    return names;
  }();
  ExpectPayloadErrorLine(lines[0], 2, before, after);
}

// A log that cannot be opened discards its lines; the run itself goes on and
// ends exactly as a run without a log would.
TEST_F(LogFileTest, UnopenableLogChangesNothingAboutTheRun) {
  const fs::path corrupt = CorruptInstaller();
  const fs::path valid = PathOf("valid.exe");
  fs::create_directories(PathOf("a folder"));
  const std::vector<std::string> unopenable = {
      ToWindowsPath(PathOf("a folder")),                 // a directory
      ToWindowsPath(PathOf("missing") / "x" / "i.log"),  // a folder that does not exist
  };
  const struct {
    const char* label;
    fs::path installer;
    bool extract;
  } runs[] = {{"payload error", corrupt, false}, {"extraction", valid, true}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.label);
    auto arguments = [&](const fs::path& target) {
      return run.extract ? std::vector<std::string>{"--extract", ToWindowsPath(target)}
                         : std::vector<std::string>{"--silent"};
    };
    const ProcessResult baseline = Run(run.installer, arguments(PathOf("baseline")));
    ASSERT_TRUE(baseline.started && !baseline.timed_out) << Describe(baseline);
    EXPECT_EQ(baseline.exit_code, run.extract ? 0 : 2) << Describe(baseline);
    for (const std::string& log : unopenable) {
      SCOPED_TRACE(log);
      const fs::path target = PathOf("with log");
      std::vector<std::string> args = {"--log-file", log};
      const std::vector<std::string> rest = arguments(target);
      args.insert(args.end(), rest.begin(), rest.end());
      const ProcessResult result = Run(run.installer, args);
      EXPECT_TRUE(result.ExitedWith(baseline.exit_code)) << Describe(result);
      if (run.extract) {
        EXPECT_EQ(ReadBytes(target / "Zevrino.exe"), Bytes(5000, 0x90));
        fs::remove_all(target);
      }
    }
  }
  EXPECT_TRUE(fs::is_empty(PathOf("a folder")));
  EXPECT_FALSE(fs::exists(PathOf("missing")));
}

}  // namespace
}  // namespace zevrino::e2e
