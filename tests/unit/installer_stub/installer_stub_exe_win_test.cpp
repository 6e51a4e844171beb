#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/result_code.h"
#include "installer/scoped_handle_win.h"
#include "tests/unit/installer_stub/payload_image.h"
#include "tests/unit/installer_stub/stub_path_win.h"
#include "tests/unit/installer_stub/temp_dir_win.h"

namespace zevrino::desktop::installer {
namespace {

using testing::BuildInstallerFile;
using testing::PayloadImage;
using testing::StubPath;
using testing::TempDir;

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  ScopedKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  std::vector<std::uint8_t> bytes;
  LARGE_INTEGER size;
  if (!file.valid() || !::GetFileSizeEx(file.get(), &size)) {
    return bytes;
  }
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() &&
      !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    read = 0;
  }
  bytes.resize(read);
  return bytes;
}

std::string ReadText(const std::wstring& path) {
  const std::vector<std::uint8_t> bytes = ReadAll(path);
  return std::string(bytes.begin(), bytes.end());
}

std::string ToUtf8(const std::wstring& wide) {
  std::string out(wide.size() * 3 + 1, '\0');
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
  return out;
}

// Runs `exe` with `arguments` and returns its exit code.
DWORD RunProcess(const std::wstring& exe, const std::wstring& arguments) {
  std::wstring command_line = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    ADD_FAILURE() << "CreateProcessW failed: " << ::GetLastError();
    return 0xFFFFFFFF;
  }
  ScopedKernelHandle process_handle(process.hProcess);
  ScopedKernelHandle thread_handle(process.hThread);
  EXPECT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exit_code = 0xFFFFFFFF;
  EXPECT_TRUE(::GetExitCodeProcess(process.hProcess, &exit_code));
  return exit_code;
}

// The real executable, run as Windows runs it: command line through wWinMain,
// the flow up to the payload, the log file and the exit code. (InstallerMain
// is not called in-process: its log sink would keep a file of this process
// open until the end.)
TEST(InstallerStubExe, ExitsWithThePayloadResult) {
  const std::vector<std::uint8_t> stub = ReadAll(StubPath());
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
      {L"bare.exe", stub, kPayloadNotFound, "Error reading installer payload: 4"},
      {L"good.exe", BuildInstallerFile(good), kAnyInstallResult,
       "Zevrino Installer - Running normal installer."},
      {L"digest.exe", BuildInstallerFile(bad_digest), kPayloadDigestMismatch,
       "Error reading installer payload: 2"},
      {L"header.exe", BuildInstallerFile(bad_header), kPayloadHeaderUnreadable,
       "Error reading installer payload: 1"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name));
    const std::wstring exe = dir.Write(c.name, c.file);
    // A quoted log path with a blank checks the conversion and the split too.
    const std::wstring log = dir.File(std::wstring(L"log of ") + c.name + L".txt");
    const DWORD exit_code = RunProcess(exe, L"--silent --log-file \"" + log + L"\" extra");
    const std::string text = ReadText(log);
    if (c.exit_code == kAnyInstallResult) {
      EXPECT_TRUE(exit_code != kPayloadNotFound && exit_code != kPayloadDigestMismatch &&
                  exit_code != kPayloadHeaderUnreadable)
          << exit_code;
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
