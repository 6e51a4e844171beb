// The web installer under Wine against the loopback HTTP server of the
// harness: first the download on its own (download_probe.exe, every way a
// download ends), then whole runs of web-install builds packed onto the real
// installer, with recorder.exe served as the full installer.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/e2e/harness/http_server.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A loopback port that nothing listens on: bound once, then released.
int ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

int CountRequests(const std::vector<std::string>& requests, const std::string& line) {
  int count = 0;
  for (const std::string& request : requests) {
    count += request == line ? 1 : 0;
  }
  return count;
}

// One prefix for the suite: its tests register URL handlers under HKLM.
class WebInstallTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RecorderExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(DownloadProbeExe());
    PrefixOptions options;
    options.name = "webinstall";
    ASSERT_TRUE(OpenSharedPrefix(options)) << PrefixError();
    // The full installer: a real executable (it starts with "MZ"), also
    // below X64 for addresses with "[ARCH]".
    full_installer_ = ReadFile(RecorderExe());
    ASSERT_GT(full_installer_.size(), 2u);
    fs::create_directories(root() / "X64");
    fs::copy_file(RecorderExe(), root() / "full.exe");
    fs::copy_file(RecorderExe(), root() / "X64" / "full.exe");
    std::string error;
    ASSERT_TRUE(server_.Start(root(), &error)) << error;
  }

  fs::path root() const { return scratch_.path() / "served"; }

  ScratchDir scratch_{"webinstall"};
  LoopbackHttpServer server_;
  Bytes full_installer_;
};

struct ProbeLine {
  unsigned result = 0;
  unsigned long long received = 0;
  unsigned long long expected = 0;
  int http = 0;
};

// Every way one download can end, in one run of download_probe.exe.
TEST_F(WebInstallTest, DownloadOutcomes) {
  const fs::path out = scratch_.path() / "out";
  fs::create_directories(out);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"complete", server_.Url("/files/full.exe")},
      {"[ARCH] placeholder", server_.Url("/files/[ARCH]/full.exe")},
      {"HTML page", server_.Url("/html")},
      {"one byte short", server_.Url("/short/full.exe")},
      {"4 GiB + 10 announced, 10 sent", server_.Url("/huge")},
      {"404", server_.Url("/missing.exe")},
      {"no length", server_.Url("/nolength/full.exe")},
      {"https to a plain server", server_.HttpsUrl("/files/full.exe")},
      {"closed port", "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/full.exe"},
  };
  std::vector<std::string> command = {DownloadProbeExe().string(), ToWindowsPath(out)};
  for (const auto& c : cases) {
    command.push_back(c.second);
  }
  const fs::path cache = prefix_->DriveC() / "users" / prefix_->UserName() / "AppData" / "Local" /
                         "Microsoft" / "Windows" / "INetCache";
  fs::remove_all(cache);
  const ProcessResult run = prefix_->RunWine(command);
  ASSERT_TRUE(run.ExitedWith(0)) << Describe(run);

  std::istringstream lines(run.out);
  std::string word, arch;
  lines >> word >> arch;
  EXPECT_EQ(word + " " + arch, "arch X64");
  std::map<std::string, ProbeLine> seen;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::size_t index = 0;
    ProbeLine line;
    std::string r, rc, e, h;
    ASSERT_TRUE(lines >> index >> r >> line.result >> rc >> line.received >> e >> line.expected >>
                h >> line.http)
        << run.out;
    ASSERT_EQ(index, i);
    seen[cases[i].first] = line;
  }
  const unsigned long long size = full_installer_.size();
  const struct {
    const char* name;
    unsigned result;
    unsigned long long received;
    unsigned long long expected;
  } expected[] = {
      {"complete", 0, size, size},
      {"[ARCH] placeholder", 0, size, size},
      {"HTML page", 54, 0, 67},
      {"one byte short", 54, size - 1, size},
      {"4 GiB + 10 announced, 10 sent", 54, 10, (1ull << 32) + 10},
      {"404", 51, 0, 0},
      {"no length", 54, size, 0},
      {"https to a plain server", 52, 0, 0},
      {"closed port", 52, 0, 0},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(seen[e.name].result, e.result);
    EXPECT_EQ(seen[e.name].received, e.received);
    EXPECT_EQ(seen[e.name].expected, e.expected);
  }
  // Only the https address whose http twin answers may turn into 57.
  EXPECT_EQ(seen["https to a plain server"].http, 1);
  EXPECT_EQ(seen["closed port"].http, 0);
  EXPECT_EQ(ReadFile(out / "0.bin"), full_installer_);
  EXPECT_EQ(ReadFile(out / "1.bin"), full_installer_);

  // The placeholder was replaced before the request; the HTML page was asked
  // for once (no retry inside a download); the https attempt never reached
  // the plain server as a request, its probe did.
  const std::vector<std::string> requests = server_.Requests();
  EXPECT_EQ(CountRequests(requests, "GET /files/X64/full.exe"), 1);
  EXPECT_EQ(CountRequests(requests, "GET /html"), 1);
  EXPECT_EQ(CountRequests(requests, "GET /files/full.exe"), 2);

  // WinINet kept no second copy of the installer in the user's cache.
  std::error_code ec;
  for (fs::recursive_directory_iterator it(cache, ec), end; !ec && it != end; it.increment(ec)) {
    EXPECT_FALSE(it->is_regular_file() && it->file_size() == full_installer_.size())
        << "cached copy: " << it->path();
  }
}

}  // namespace
}  // namespace zevrino::e2e
