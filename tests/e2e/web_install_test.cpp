// The web installer under Wine against the loopback HTTP server of the
// harness: first the download on its own (download_probe.exe, every way a
// download ends), then whole runs of web-install builds packed onto the real
// installer, with recorder.exe served as the full installer.

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <future>
#include <sstream>

#include "payload/payload_container.h"
#include "tests/e2e/harness/dialog_robot.h"
#include "tests/e2e/harness/holder.h"
#include "tests/e2e/harness/http_server.h"
#include "tests/e2e/harness/loopback_proxy.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/signing.h"
#include "tests/e2e/harness/start_log.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/url_recorder.h"
#include "tests/e2e/harness/wine_prefix.h"
#include "tests/support/description_builder.h"
#include "tools/pack_installer/packer.h"

namespace zevrino::e2e {
namespace {

// recorder.exe with the installer's own product version: a full installer
// that a web installer may start.
fs::path VersionedRecorder() {
  return WindowsTestProgram("recorder_versioned.exe");
}

long CountRequests(const std::vector<std::string>& requests, const std::string& line) {
  return std::count(requests.begin(), requests.end(), line);
}

// One prefix for the suite: its tests register URL handlers under HKLM.
class WebInstallTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RecorderExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(WindowsTestProgram("download_probe.exe"));
    ZV_REQUIRE_WINDOWS_PROGRAM(VersionedRecorder());
    PrefixOptions options;
    options.name = "webinstall";
    ASSERT_TRUE(OpenSharedPrefix(options)) << PrefixError();
    // The full installer: a Zevrino program signed by the publisher, whose
    // test root the prefix trusts (also below X64 for addresses with
    // "[ARCH]").
    std::string error;
    signing_ = TestSigning::Create(HostBuildDir() / "e2e" / "test-signing", &error);
    ASSERT_NE(signing_, nullptr) << error;
    ASSERT_TRUE(signing_->TrustRoot(*prefix_, &error)) << error;
    fs::create_directories(root() / "X64");
    ASSERT_TRUE(
        signing_->Sign(VersionedRecorder(), root() / "full.exe", Signer::kPublisher, &error))
        << error;
    fs::copy_file(root() / "full.exe", root() / "X64" / "full.exe");
    full_installer_ = ReadBytes(root() / "full.exe");
    ASSERT_GT(full_installer_.size(), 2u);
    ASSERT_TRUE(server_.Start(root(), &error)) << error;
  }

  fs::path root() const { return scratch_.path() / "served"; }

  ScratchDir scratch_{"webinstall"};
  LoopbackHttpServer server_;
  std::unique_ptr<TestSigning> signing_;
  Bytes full_installer_;
};

// What only the real WinINet and a real server show, in one run of
// download_probe.exe: redirects followed by hand up to the limit and never
// to another scheme, a refused scheme never reaching WinINet, a refused
// connection, a silent server, and the resume of a dropped connection with
// its Range and If-Range headers. (The rules of lengths, ranges, pages and
// addresses are the unit tests'; failures with their dialogs are below.)
TEST_F(WebInstallTest, DownloadOutcomes) {
  const fs::path out = scratch_.path() / "out";
  fs::create_directories(out);
  const unsigned long long size = full_installer_.size();
  const struct {
    std::string url;
    unsigned result;
    unsigned long long received, expected;
  } cases[] = {
      {server_.Url("/files/full.exe"), 0, size, size},
      {"http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/full.exe", 52, 0, 0},
      {server_.Url("/redirect/9/full.exe"), 0, size, size},  // 10 redirects
      {server_.Url("/loop"), 52, 0, 0},
      {server_.Url("/to?location=file:///C:/windows/notepad.exe"), 52, 0, 0},
      {"file:///C:/windows/notepad.exe", 52, 0, 0},
      {server_.Url("/stallhead"), 52, 0, 0},
      // Asked again, it stops at the same place: not asked a third time.
      {server_.Url("/stallbody/full.exe"), 54, size / 2, size},
      {server_.Url("/drop/full.exe?at=30,80"), 0, size, size},
  };
  std::vector<std::string> command = {WindowsTestProgram("download_probe.exe").string(),
                                      "--stall-ms", "1500", ToWindowsPath(out)};
  for (const auto& c : cases) {
    command.push_back(c.url);
  }
  const fs::path cache = prefix_->DriveC() / "users" / prefix_->UserName() / "AppData" / "Local" /
                         "Microsoft" / "Windows" / "INetCache";
  fs::remove_all(cache);
  const ProcessResult run = prefix_->RunWine(command);
  ASSERT_TRUE(run.ExitedWith(0)) << Describe(run);

  std::istringstream lines(run.out);
  std::string word;
  lines >> word >> word;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].url);
    std::size_t index = 0;
    unsigned result = 0;
    unsigned long long received = 0, expected = 0;
    std::string r, rc, e, h;
    ASSERT_TRUE(lines >> index >> r >> result >> rc >> received >> e >> expected >> h >> word)
        << run.out;
    EXPECT_EQ(index, i);
    EXPECT_EQ(result, cases[i].result);
    EXPECT_EQ(received, cases[i].received);
    EXPECT_EQ(expected, cases[i].expected);
  }
  EXPECT_EQ(ReadBytes(out / "0.bin"), full_installer_);
  EXPECT_EQ(ReadBytes(out / (std::to_string(std::size(cases) - 1) + ".bin")), full_installer_);

  // Redirects are followed one request each, and no further than allowed.
  const std::vector<std::string> requests = server_.Requests();
  EXPECT_EQ(CountRequests(requests, "GET /redirect/0/full.exe"), 1);
  EXPECT_EQ(CountRequests(requests, "GET /files/full.exe"), 2);
  EXPECT_EQ(CountRequests(requests, "GET /loop"), 11);
  // The dropped download, the last, asked for the rest twice where it stood,
  // each time with the ETag of the first answer, so a changed file is not
  // spliced.
  EXPECT_EQ(CountRequests(requests, "GET /drop/full.exe?at=30,80"), 3);
  const std::vector<std::string> ranges = server_.Ranges();
  EXPECT_EQ(std::vector<std::string>(ranges.end() - 3, ranges.end()),
            (std::vector<std::string>{"", "bytes=" + std::to_string(size * 30 / 100) + "-",
                                      "bytes=" + std::to_string(size * 80 / 100) + "-"}));
  const std::vector<std::string> if_ranges = server_.IfRanges();
  ASSERT_GE(if_ranges.size(), 3u);
  EXPECT_EQ(if_ranges.back().substr(0, 1), "\"");
  EXPECT_EQ(std::vector<std::string>(if_ranges.end() - 3, if_ranges.end()),
            (std::vector<std::string>{"", if_ranges.back(), if_ranges.back()}));
  // Every request names the installer.
  for (const std::string& agent : server_.UserAgents()) {
    EXPECT_EQ(agent, "ZevrinoInstaller/1.0");
  }

  // WinINet kept no second copy of the installer in the user's cache.
  std::error_code ec;
  for (fs::recursive_directory_iterator it(cache, ec), end; !ec && it != end; it.increment(ec)) {
    EXPECT_FALSE(it->is_regular_file() && it->file_size() == full_installer_.size())
        << "cached copy: " << it->path();
  }
}

// Whole runs of web-install builds, started as a normal user. The full
// installer is recorder.exe: saved as ZuVerIzad<N>.exe in the installation
// directory it logs its command line to ZuVerIzad<N>.exe.log there and exits
// with the number in ZuVerIzad<N>.exe.exitcode. dialog_robot.exe answers the
// error dialogs and reads the progress window while the installer runs.
class WebInstallRunTest : public WebInstallTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(DialogRobotExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(WindowsTestProgram("hold_file.exe"));
    WebInstallTest::SetUp();
  }

  // A web-install build whose payload body is `description`.
  fs::path PackWebInstaller(const std::string& name, const Bytes& description) {
    const fs::path body = scratch_.path() / (name + ".description");
    WriteBytes(body, description);
    desktop::packer::PackRequest request;
    request.stub_path = InstallerStubExe().string();
    request.output_path = (scratch_.path() / (name + ".exe")).string();
    request.body = {desktop::packer::BodySource::Kind::kFile, body.string()};
    request.payload.flags = desktop::installer::kWebInstaller;
    std::string error;
    EXPECT_TRUE(desktop::packer::Pack(request, &error)) << error;
    return request.output_path;
  }

  // The installation directory, emptied.
  fs::path CleanInstallDir(const std::string& name = "Zevrino") {
    const fs::path dir = prefix_->AppDataRoaming() / name;
    fs::remove_all(dir);
    return dir;
  }

  struct Outcome {
    ProcessResult installer;
    RobotOutput robot;
  };

  // Runs `installer` with `args` while the robot works through `steps`.
  Outcome Run(const fs::path& installer, const std::vector<std::string>& args,
              const std::vector<std::string>& steps) {
    auto run = StartAsUser(*prefix_, installer, args);
    Outcome outcome;
    outcome.robot = RunDialogRobot(*prefix_, steps, std::chrono::seconds(60));
    outcome.installer = run.get();
    return outcome;
  }
  // Runs `installer` and expects no dialog at all: a dialog would wait for
  // an answer that never comes, and the run would time out.
  ProcessResult RunWithoutDialog(const fs::path& installer, const std::vector<std::string>& args) {
    return StartAsUser(*prefix_, installer, args).get();
  }
};

// The command lines of the starts recorded in `log`.
std::vector<std::string> CommandLines(const fs::path& log) {
  std::vector<std::string> lines;
  for (const StartRecord& start : ReadStartLog(log)) {
    lines.push_back(start.command_line);
  }
  return lines;
}

// Runs that end without a dialog: the full installer started with the right
// name and arguments, its exit code mapped to 0 or 55, the file removed.
TEST_F(WebInstallRunTest, FullInstallerRunsAndIsRemoved) {
  {
    SCOPED_TRACE("count 1, [ARCH], mu and a forwarded token");
    const fs::path dir = CleanInstallDir("Zevrino-beta");
    const fs::path setup =
        PackWebInstaller("arch", DownloadDescription({server_.Url("/files/[ARCH]/full.exe")}));
    const ProcessResult run = RunWithoutDialog(setup, {"--mu", "beta", "x"});
    EXPECT_TRUE(run.ExitedWith(0)) << Describe(run);
    EXPECT_EQ(CommandLines(dir / "ZuVerIzad0.exe.log"),
              std::vector<std::string>{R"(ZuVerIzad0.exe "--mu" "beta" /webinstall "x")"});
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe"));
    EXPECT_EQ(CountRequests(server_.Requests(), "GET /files/X64/full.exe"), 1);
  }
  {
    SCOPED_TRACE("count 2, slow: share and time left shown; exit 1 gives 55 without a dialog");
    const fs::path dir = CleanInstallDir();
    fs::create_directories(dir);
    WriteText(dir / "ZuVerIzad0.exe.exitcode", "1");
    // About 16 s at 50 kB/s: long enough for the window's estimate.
    const std::string slow = "/slow/full.exe?bps=50000";
    const fs::path setup = PackWebInstaller(
        "two", DownloadDescription({server_.Url("/missing-first.exe"), server_.Url(slow)}));
    server_.ClearRequests();
    const Outcome run =
        Run(setup, {},
            {"wait", "ZevrinoInstaller", "wait-style", "51", "0x08", "0", "wait-prefix", "50",
             "Downloading Zevrino...  ", "send", "51", "0x408", "wait-hidden"});
    EXPECT_TRUE(run.installer.ExitedWith(55)) << Describe(run.installer);
    ASSERT_TRUE(run.robot.Succeeded()) << run.robot.Describe();
    // A determinate bar (no PBS_MARQUEE) part way, and a time left in seconds.
    int seconds_left = 0;
    int percent = -1;
    for (const std::string& line : run.robot.lines) {
      std::sscanf(line.c_str(), "text 50 Downloading Zevrino...  %d second", &seconds_left);
      std::sscanf(line.c_str(), "result 51 0x408 %d", &percent);
    }
    EXPECT_GT(seconds_left, 0) << ::testing::PrintToString(run.robot.lines);
    EXPECT_LT(seconds_left, 60);
    EXPECT_GE(percent, 0);
    EXPECT_LT(percent, 100);
    EXPECT_EQ(CommandLines(dir / "ZuVerIzad0.exe.log"),
              std::vector<std::string>{"ZuVerIzad0.exe /webinstall"});
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe"));
    EXPECT_EQ(server_.Requests(), std::vector<std::string>{"GET " + slow});
  }
  {
    SCOPED_TRACE("--url overrides the description; ZuVerIzad0.exe held open");
    const fs::path dir = CleanInstallDir();
    fs::create_directories(dir);
    const fs::path held = dir / "ZuVerIzad0.exe";
    WriteBytes(held, full_installer_);
    Holder holder(*prefix_, scratch_.path(), "hold_file.exe", ToWindowsPath(held));
    ASSERT_TRUE(holder.holding());
    const fs::path setup =
        PackWebInstaller("override", DownloadDescription({server_.Url("/missing.exe")}));
    server_.ClearRequests();
    const ProcessResult run = RunWithoutDialog(setup, {"--url", server_.Url("/files/full.exe")});
    holder.Release();
    EXPECT_TRUE(run.ExitedWith(0)) << Describe(run);
    EXPECT_EQ(CommandLines(dir / "ZuVerIzad1.exe.log"),
              std::vector<std::string>{"ZuVerIzad1.exe /webinstall"});
    EXPECT_TRUE(fs::exists(held));  // still there: it was in use
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad1.exe"));
    EXPECT_EQ(server_.Requests(), std::vector<std::string>{"GET /files/full.exe"});
  }
  {
    SCOPED_TRACE("the full installer is itself a web installer: the mutex was released");
    // The inner installer takes "Zevrino Update Started Interactive Mutex"
    // and would exit with 20 (55 for the outer one) if the outer one still
    // held it. Its own file is in use while it runs, so it saves the
    // recorder under the next name.
    const fs::path dir = CleanInstallDir();
    const fs::path inner =
        PackWebInstaller("inner", DownloadDescription({server_.Url("/files/full.exe")}));
    std::string error;
    ASSERT_TRUE(signing_->Sign(inner, root() / "inner.exe", Signer::kPublisher, &error)) << error;
    const fs::path outer =
        PackWebInstaller("outer", DownloadDescription({server_.Url("/files/inner.exe")}));
    server_.ClearRequests();
    const ProcessResult run = RunWithoutDialog(outer, {"y"});
    EXPECT_TRUE(run.ExitedWith(0)) << Describe(run);
    EXPECT_EQ(CommandLines(dir / "ZuVerIzad1.exe.log"),
              std::vector<std::string>{R"(ZuVerIzad1.exe /webinstall "y")"});
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe"));
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad1.exe"));
    EXPECT_EQ(server_.Requests(),
              (std::vector<std::string>{"GET /files/inner.exe", "GET /files/full.exe"}));
  }
}

// Downloads that fail at once show their dialog after one request, and the
// log says what the network said. The browser fallback of 57 opens the https address the
// download used, "[ARCH]" replaced, and only after OK; its probe asks for
// the headers alone. A sign-in page (59) opens the vendor's page on
// Continue and asks again; a certificate that cannot be verified (60) is
// not probed over plain http; a refused download (61) opens the vendor's
// page after OK.
TEST_F(WebInstallRunTest, FailuresWithoutRetry) {
  std::string error;
  const UrlRecorder browser(*prefix_, "https", prefix_->DriveC() / "zvbrowser", &error);
  ASSERT_TRUE(browser.valid()) << error;
  LoopbackHttpServer tls;
  ASSERT_TRUE(tls.StartWithUntrustedTls(root(), &error)) << error;
  fs::copy_file(VersionedRecorder(), root() / "unsigned.exe", fs::copy_options::skip_existing);
  const std::string https = server_.HttpsUrl("/files/full.exe?from=webinstall");
  const std::string https_arch = server_.HttpsUrl("/files/[ARCH]/full.exe?from=webinstall");
  const std::string download_page = "https://www.zevrino.com/download";
  const struct {
    const char* name;
    std::string url;
    std::vector<int> answers;  // buttons pressed, one dialog each
    int code;
    std::vector<std::string> requests;
    std::vector<std::string> opened;
    std::string logged;
  } cases[] = {
      {"HTML page: Cancel",
       server_.Url("/html"),
       {kIdCancel},
       59,
       {"GET /html"},
       {},
       "failed with 59: HTTP status 200, WinINet error 0"},
      {"redirect to an HTML page: Continue, then Cancel",
       server_.Url("/to?location=" + server_.Url("/html")),
       {kIdContinue, kIdCancel},
       59,
       {"GET /to?location=" + server_.Url("/html"), "GET /html"},
       {download_page},
       "failed with 59"},
      {"https fails, http works: Cancel",
       https,
       {kIdCancel},
       57,
       {"HEAD /files/full.exe?from=webinstall"},
       {},
       "failed with 52: HTTP status 0, WinINet error 12157, proxy none"},
      {"https fails, http works: OK",
       https_arch,
       {kIdOk},
       57,
       {"HEAD /files/[ARCH]/full.exe?from=webinstall"},
       {server_.HttpsUrl("/files/X64/full.exe?from=webinstall")},
       "failed with 52"},
      {"untrusted certificate",
       tls.LocalhostUrl("https", "/files/full.exe"),
       {kIdCancel},
       60,
       {},
       {},
       "failed with 60: HTTP status 0, WinINet error 12045 (the server's certificate: its root "
       "is not trusted)"},
      {"not genuine: OK",
       server_.Url("/files/unsigned.exe"),
       {kIdOk},
       61,
       {"GET /files/unsigned.exe"},
       {download_page},
       "it is not signed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path dir = CleanInstallDir();
    server_.ClearRequests();
    const std::size_t opened_before = browser.Addresses().size();
    const fs::path setup = PackWebInstaller("fails", DownloadDescription({c.url}));
    const fs::path log = scratch_.path() / "fails.log";
    fs::remove(log);
    std::vector<std::string> steps;
    for (const int answer : c.answers) {
      steps.insert(steps.end(), {"wait", "#32770", "press", std::to_string(answer)});
    }
    const Outcome run = Run(setup, {"--log-file", ToWindowsPath(log)}, steps);
    EXPECT_TRUE(run.installer.ExitedWith(c.code)) << Describe(run.installer);
    ASSERT_TRUE(run.robot.Succeeded()) << run.robot.Describe();
    ASSERT_EQ(run.robot.windows.size(), c.answers.size());
    const std::string text = run.robot.windows[0].MessageText();
    EXPECT_NE(text.find("(Error code: " + std::to_string(c.code) + ")"), std::string::npos) << text;
    EXPECT_EQ(run.robot.windows.back().MessageText(), text);
    EXPECT_EQ(server_.Requests(), c.requests);
    EXPECT_NE(ReadText(log).find(c.logged), std::string::npos) << ReadText(log);
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe"));
    // The browser starts asynchronously: wait for what should come, then
    // make sure nothing else came.
    std::vector<std::string> opened = browser.WaitForAddresses(
        opened_before + c.opened.size(), std::chrono::seconds(c.opened.empty() ? 3 : 60));
    opened.erase(opened.begin(), opened.begin() + static_cast<long>(opened_before));
    EXPECT_EQ(opened, c.opened);
  }
  // The certificate was refused before any request, and nothing asked the
  // same server over plain http.
  EXPECT_TRUE(tls.Requests().empty()) << ::testing::PrintToString(tls.Requests());
}

// A proxy that asks for a password: in an interactive run the system's
// sign-in dialog, owned by the progress window, takes it and the download
// goes through the proxy; a silent run asks nothing and ends with 58 at
// once, its log naming the status and the proxy.
TEST_F(WebInstallRunTest, ProxySignIn) {
  LoopbackProxy proxy;
  std::string error;
  ASSERT_TRUE(proxy.Start(scratch_.path() / "proxy", "zvuser", "zvpass", &error)) << error;
  const PrefixProxySetting setting(*prefix_, proxy.Address());
  ASSERT_TRUE(setting.valid());
  const fs::path setup =
      PackWebInstaller("proxy", DownloadDescription({server_.Url("/files/full.exe")}));
  {
    SCOPED_TRACE("interactive: signed in");
    const fs::path dir = CleanInstallDir();
    server_.ClearRequests();
    const Outcome run = Run(setup, {},
                            {"wait", "#32770", "set-text", "1027", "zvuser", "set-text", "1028",
                             "zvpass", "press", std::to_string(kIdOk)});
    EXPECT_TRUE(run.installer.ExitedWith(0)) << Describe(run.installer);
    ASSERT_TRUE(run.robot.Succeeded()) << run.robot.Describe();
    EXPECT_EQ(run.robot.windows[0].owner_class, "ZevrinoInstaller");
    EXPECT_EQ(server_.Requests(), std::vector<std::string>{"GET /files/full.exe"});
    EXPECT_EQ(CommandLines(dir / "ZuVerIzad0.exe.log").size(), 1u);
  }
  {
    SCOPED_TRACE("silent: 58 without asking");
    CleanInstallDir();
    server_.ClearRequests();
    const fs::path log = scratch_.path() / "proxy.log";
    const Outcome run = Run(setup, {"--silent", "--log-file", ToWindowsPath(log)},
                            {"wait", "#32770", "press", std::to_string(kIdCancel)});
    EXPECT_TRUE(run.installer.ExitedWith(58)) << Describe(run.installer);
    ASSERT_TRUE(run.robot.Succeeded()) << run.robot.Describe();
    EXPECT_NE(run.robot.windows[0].MessageText().find("(Error code: 58)"), std::string::npos);
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_NE(ReadText(log).find("failed with 58: HTTP status 407, WinINet error 0, proxy " +
                                 proxy.Address() + "."),
              std::string::npos)
        << ReadText(log);
  }
}

std::string CountdownText(int seconds) {
  return "Unable to download Zevrino... will try again in " + std::to_string(seconds) +
         (seconds == 1 ? " second" : " seconds");
}

// The retries' wiring (their rules are web_install_flow_test.cpp's): a 404
// starts the countdown in the window; closing it asks the cancel question,
// and Yes ends the run with 19, without an error dialog, and removes the
// file.
TEST_F(WebInstallRunTest, CancelDuringCountdown) {
  const fs::path dir = CleanInstallDir();
  server_.ClearRequests();
  const fs::path setup =
      PackWebInstaller("cancel", DownloadDescription({server_.Url("/missing.exe")}));
  const Outcome run = Run(setup, {},
                          {"wait", "ZevrinoInstaller", "wait-text", "50", CountdownText(9), "close",
                           "wait", "#32770", "press", std::to_string(kIdYes)});
  EXPECT_TRUE(run.installer.ExitedWith(19)) << Describe(run.installer);
  ASSERT_TRUE(run.robot.Succeeded()) << run.robot.Describe();
  ASSERT_EQ(run.robot.windows.size(), 2u);
  EXPECT_EQ(run.robot.windows[1].MessageText(),
            "The installation of Zevrino is not complete. Do you want to cancel?");
  EXPECT_EQ(server_.Requests(), std::vector<std::string>{"GET /missing.exe"});
  EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe"));
}

// Web installers signed by the vendor and unsigned, and full installers
// signed in every way one may meet: the test root is trusted in the prefix,
// recorder.exe (in three product versions) plays the full installer.
class WebInstallTrustTest : public WebInstallRunTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(WindowsTestProgram("swap_file.exe"));
    ZV_REQUIRE_WINDOWS_PROGRAM(WindowsTestProgram("recorder_old.exe"));
    WebInstallRunTest::SetUp();
    std::string error;
    const struct {
      const char* name;
      fs::path program;
      Signer signer;
    } signed_files[] = {
        {"publisher.exe", VersionedRecorder(), Signer::kPublisher},
        {"other.exe", VersionedRecorder(), Signer::kOtherPublisher},
        {"expired.exe", VersionedRecorder(), Signer::kExpired},
        {"selfsigned.exe", VersionedRecorder(), Signer::kSelfSigned},
        {"impostor.exe", VersionedRecorder(), Signer::kImpostorChain},
        {"renewed.exe", VersionedRecorder(), Signer::kRenewed},
        {"serverauth.exe", VersionedRecorder(), Signer::kServerAuthOnly},
        {"older.exe", WindowsTestProgram("recorder_old.exe"), Signer::kPublisher},
    };
    for (const auto& f : signed_files) {
      ASSERT_TRUE(signing_->Sign(f.program, root() / f.name, f.signer, &error)) << error;
    }
    Bytes tampered = ReadBytes(root() / "publisher.exe");
    tampered[4096] ^= 1;
    WriteBytes(root() / "tampered.exe", tampered);
    fs::copy_file(VersionedRecorder(), root() / "unsigned.exe");
    const fs::path unsigned_build =
        PackWebInstaller("unsigned-web", DownloadDescription({"unused"}));
    ASSERT_TRUE(signing_->Sign(unsigned_build, scratch_.path() / "signed-web.exe",
                               Signer::kPublisher, &error))
        << error;
  }

  fs::path WebInstaller(bool is_signed) const {
    return scratch_.path() / (is_signed ? "signed-web.exe" : "unsigned-web.exe");
  }
};

// Only a Zevrino installer of no older version, signed by the publisher's
// name under a trusted chain, runs from a signed web installer; an unsigned
// one (this build allows no unsigned download) starts only a signed one. A
// refused file is deleted, never started, and the log names the check that
// failed; what runs gets every forwarded token as it was given. One file per
// way the system reports a signature or a version: the decisions themselves
// are download_trust_test's and download_version_test's.
TEST_F(WebInstallTrustTest, OnlyThePublishersInstallerRuns) {
  const std::vector<std::string> tokens = {R"(C:\dir\)", "x /evil y", R"(a""/update""C:\x.exe)"};
  const struct {
    const char* file;
    bool signed_web_installer;
    int code;
    const char* logged;                                 // the reason in the log line of a refusal
    StandinVersion installed = StandinVersion::kOlder;  // kNewer: installed first
  } cases[] = {
      {"publisher.exe", true, 0, ""},
      {"renewed.exe", true, 0, ""},
      {"unsigned.exe", true, 61, "it is not signed"},
      {"other.exe", true, 61, "signed by another publisher"},
      {"serverauth.exe", true, 61, "not for signing code"},
      {"selfsigned.exe", true, 61, "chain is not trusted"},
      {"impostor.exe", true, 61, "chain is not trusted"},
      {"expired.exe", true, 61, "chain is not trusted"},
      {"tampered.exe", true, 61, "does not verify"},
      {"older.exe", true, 61, "older than this installer"},
      {"publisher.exe", true, 61, "older than the installed version", StandinVersion::kNewer},
      {"other.exe", false, 0, ""},
      {"unsigned.exe", false, 61, "it is not signed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.signed_web_installer ? " from a signed" : " unsigned") +
                 (c.installed == StandinVersion::kNewer ? " over 9.9.9.9" : ""));
    const fs::path dir = CleanInstallDir();
    fs::create_directories(dir);
    std::vector<std::string> steps;
    if (c.installed == StandinVersion::kNewer) {
      // The user lets the web installer replace what is there.
      fs::copy_file(ZevrinoStandinExe(c.installed), dir / "Zevrino.exe");
      steps = {"wait", "#32770", "press", std::to_string(kIdOk)};
    }
    if (c.code != 0) {
      steps.insert(steps.end(), {"wait", "#32770", "press", std::to_string(kIdCancel)});
    }
    const Tree installed = ReadTree(dir);
    const fs::path log = scratch_.path() / "trust.log";
    fs::remove(log);
    // The publisher's comes with a drop at half of it: the resumed file is checked.
    const bool dropped = std::string(c.file) == "publisher.exe" && c.code == 0;
    std::vector<std::string> args = {
        "--url", server_.Url((dropped ? "/drop/" : "/files/") + std::string(c.file) + "?at=50"),
        "--log-file", ToWindowsPath(log)};
    args.insert(args.end(), tokens.begin(), tokens.end());
    const Outcome run = Run(WebInstaller(c.signed_web_installer), args, steps);
    EXPECT_TRUE(run.installer.ExitedWith(c.code)) << Describe(run.installer);
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe"));
    const Bytes log_bytes = ReadBytes(log);
    const std::string logged(log_bytes.begin(), log_bytes.end());
    EXPECT_EQ(logged.find("The download stopped after") != std::string::npos, dropped) << logged;
    if (c.code == 0) {
      std::vector<std::string> expected = {"/webinstall"};
      expected.insert(expected.end(), tokens.begin(), tokens.end());
      EXPECT_EQ(ReadStartArguments(dir / "ZuVerIzad0.exe"),
                std::vector<std::vector<std::string>>{expected});
    } else {
      EXPECT_TRUE(ReadTree(dir) == installed) << "the refused file ran, or stayed";
      EXPECT_NE(logged.find(c.logged), std::string::npos) << logged;
    }
  }
}

// Another process keeps trying to put its own program in place of the
// download while it arrives, is checked and is started: the program that
// runs is always the one that was checked.
TEST_F(WebInstallTrustTest, SwappedFileIsNeverStarted) {
  const fs::path dir = CleanInstallDir();
  fs::create_directories(dir);
  Holder swapper(
      *prefix_, scratch_.path(), "swap_file.exe",
      "C:\\users\\" + prefix_->UserName() + "\\AppData\\Roaming\\Zevrino\\ZuVerIzad0.exe");
  ASSERT_TRUE(swapper.holding());
  const ProcessResult run = RunWithoutDialog(
      WebInstaller(true), {"--url", server_.Url("/slow/publisher.exe?bps=400000")});
  const ProcessResult& swapped = swapper.Release();
  EXPECT_TRUE(run.ExitedWith(0)) << Describe(run);
  EXPECT_EQ(CommandLines(dir / "ZuVerIzad0.exe.log").size(), 1u);
  EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe.swapped-in")) << swapped.out;
}

// A server that goes silent, before its headers or within the body: closing
// the window and answering Yes ends the run with 19 at once, without waiting
// for the server, and the partial file goes.
TEST_F(WebInstallRunTest, CancelEndsADownloadFromASilentServer) {
  for (const std::string path : {"/stallhead", "/stallbody/full.exe"}) {
    SCOPED_TRACE(path);
    const fs::path dir = CleanInstallDir();
    const fs::path setup = PackWebInstaller("silent", DownloadDescription({server_.Url(path)}));
    auto run = StartAsUser(*prefix_, setup, {});
    const RobotOutput robot = RunDialogRobot(
        *prefix_,
        {"wait", "ZevrinoInstaller", "close", "wait", "#32770", "press", std::to_string(kIdYes)},
        std::chrono::seconds(60));
    const auto answered = std::chrono::steady_clock::now();
    ASSERT_TRUE(robot.Succeeded()) << robot.Describe();
    const ProcessResult result = run.get();
    // Far below the 30 s after which the silence itself would end the wait.
    EXPECT_LT(std::chrono::steady_clock::now() - answered, std::chrono::seconds(15));
    EXPECT_TRUE(result.ExitedWith(19)) << Describe(result);
    EXPECT_FALSE(fs::exists(dir / "ZuVerIzad0.exe"));
  }
}

}  // namespace
}  // namespace zevrino::e2e
