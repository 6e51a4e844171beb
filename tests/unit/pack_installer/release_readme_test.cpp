// The README's "Releasing" section, run as written (host build only): its
// sh blocks run in a folder laid out as the section assumes, with a test
// stub, a test application and the test certificates under the names it
// uses, and each line of the text block after a block must match a line of
// what the block printed ("..." and digits standing for anything). The one
// change: the timestamp server (-ts URL) becomes osslsigncode's built-in
// authority at a fixed time, so that no network is needed.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/support/payload_builder.h"
#include "tests/support/process_posix.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/test_signing_posix.h"

namespace zevrino::desktop::installer::testing {
namespace {

namespace fs = std::filesystem;

struct Step {
  std::vector<std::string> commands;
  std::vector<std::string> expected;  // lines of the text block after them
};

std::vector<Step> ReleaseSteps(const fs::path& readme) {
  std::ifstream in(readme);
  std::vector<Step> steps;
  std::string line, fence;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) {
      inside = line == "## Releasing";
    } else if (inside && line.rfind("```", 0) == 0) {
      fence = fence.empty() ? line.substr(3) : "";
      if (fence == "sh") {
        steps.emplace_back();
      }
    } else if (inside && fence == "sh" && !line.empty()) {
      steps.back().commands.push_back(line);
    } else if (inside && fence == "text" && !steps.empty()) {
      steps.back().expected.push_back(line);
    }
  }
  return steps;
}

// "..." matches anything, a run of digits any run of digits.
std::regex LinePattern(const std::string& line) {
  std::string pattern;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line.compare(i, 3, "...") == 0) {
      pattern += ".*";
      i += 2;
    } else if (std::isdigit(static_cast<unsigned char>(line[i]))) {
      pattern += "[0-9]+";
      while (i + 1 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 1]))) {
        ++i;
      }
    } else {
      pattern += std::string(std::strchr("\\^$.|?*+()[]{}", line[i]) ? "\\" : "") + line[i];
    }
  }
  return std::regex(pattern);
}

TEST(ReleaseReadmeTest, TheSectionsCommandsRunAndPrintWhatItShows) {
  const std::vector<Step> steps = ReleaseSteps(fs::path(ZV_SOURCE_DIR) / "README.md");
  ASSERT_GE(steps.size(), 2u) << "the Releasing section lost its command blocks";

  ScratchDirectory dir("release");
  std::string error;
  const fs::path certificates = dir / "certificates";
  ASSERT_TRUE(MakeTestCertificates(certificates, &error)) << error;
  fs::create_directories(dir / "build" / "host");
  fs::create_symlink(ZV_PACK_INSTALLER, dir / "build" / "host" / "pack_installer");
  WriteBytes(dir / "build" / "windows" / "installer_stub.exe", MakePeImage(0x2000));
  WriteBytes(dir / "MyApp" / "Zevrino.exe", RandomBytes(40000, 3));
  WriteBytes(dir / "MyApp" / "locales" / "de.pak", TextBytes(3000, 4));
  WriteBytes(dir / "MyApp" / "README.txt", TextBytes(100, 5));
  fs::copy_file(certificates / "publisher.key", dir / "zevrino.key");
  WriteBytes(dir / "zevrino-chain.pem", ReadBytes(certificates / "publisher.pem"));

  const std::regex timestamp_server(" -ts [^ ]+");
  for (const Step& step : steps) {
    std::string printed;
    for (const std::string& written : step.commands) {
      const std::string command = std::regex_replace(written, timestamp_server,
                                                     " " + OfflineTimestampOptions(certificates));
      const ProcessResult result =
          RunProcess({"sh", "-c", "cd \"$0\" && " + command, dir.path().string()}, {},
                     std::chrono::minutes(2));
      ASSERT_TRUE(result.ExitedWith(0)) << written << "\n" << Describe(result);
      printed += result.out;
    }
    for (const std::string& line : step.expected) {
      std::istringstream lines(printed);
      std::string candidate;
      bool found = false;
      while (!found && std::getline(lines, candidate)) {
        found = std::regex_match(candidate, LinePattern(line));
      }
      EXPECT_TRUE(found) << "the README shows \"" << line << "\"; the commands printed:\n"
                         << printed;
    }
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer::testing
