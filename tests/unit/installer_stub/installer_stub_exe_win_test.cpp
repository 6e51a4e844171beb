#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/result_code.h"
#include "tests/support/payload_builder.h"
#include "tests/support/process_win.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/utf16.h"
#include "tests/unit/installer_stub/stub_path_win.h"

namespace zevrino::desktop::installer {
namespace {

using testing::BuildInstallerFile;
using testing::PayloadImage;
using testing::ReadBytes;
using testing::ReadText;
using testing::RunProgram;
using testing::ScratchDirectory;
using testing::StubPath;
using testing::ToUtf8;

// The real executable, run as Windows runs it: command line through wWinMain,
// the flow up to the payload, the log file and the exit code. (InstallerMain
// is not called in-process: its log sink would keep a file of this process
// open until the end.)
TEST(InstallerStubExe, ExitsWithThePayloadResult) {
  const std::vector<std::uint8_t> stub = ReadBytes(StubPath());
  ASSERT_FALSE(stub.empty()) << "installer_stub.exe not found next to the tests";

  PayloadImage good;
  good.image = stub;
  good.flags = 2;
  PayloadImage bad_digest = good;
  bad_digest.corrupt_digest = true;
  PayloadImage bad_header = good;
  bad_header.declared_header_size = 0x7FFF;
  struct Case {
    const wchar_t* name;
    std::vector<std::uint8_t> file;
    DWORD exit_code;     // kAnyInstallResult: whatever the install gives
    const char* logged;  // null: no payload error may be logged
  };
  // A payload that opens leads to the normal install, whose result depends on
  // the account (Wine gives this test the administrator's token) and on the
  // body (not an archive here); only the payload codes are excluded.
  constexpr DWORD kAnyInstallResult = 0xFFFFFFFF;
  const Case cases[] = {
      {L"bare.exe", stub, 4, "Error reading installer payload: 4"},
      {L"good.exe", BuildInstallerFile(good), kAnyInstallResult,
       "Zevrino Installer - Running normal installer."},
      {L"digest.exe", BuildInstallerFile(bad_digest), 2, "Error reading installer payload: 2"},
      {L"header.exe", BuildInstallerFile(bad_header), 1, "Error reading installer payload: 1"},
  };
  ScratchDirectory dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name));
    const std::wstring exe = dir.Write(c.name, c.file);
    // A quoted log path with a blank checks the conversion and the split too.
    const std::wstring log = dir / (std::wstring(L"log of ") + c.name + L".txt");
    const DWORD exit_code =
        RunProgram(L"\"" + exe + L"\" --silent --log-file \"" + log + L"\" extra");
    const std::string text = ReadText(log);
    if (c.exit_code == kAnyInstallResult) {
      EXPECT_TRUE(exit_code != 4 && exit_code != 2 && exit_code != 1) << exit_code;
      EXPECT_EQ(text.find("Error reading installer payload"), std::string::npos) << text;
    } else {
      EXPECT_EQ(exit_code, c.exit_code);
    }
    if (c.logged != nullptr) {
      EXPECT_NE(text.find(c.logged), std::string::npos) << text;
    } else {
      EXPECT_EQ(text.find("Error reading installer payload"), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
