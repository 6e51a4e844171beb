// Starting the installed application, its shortcuts and its URI, checked
// with real processes, real shell links and the real shell under Wine (its
// start with the forwarded arguments and its closing are seen in the install
// and update runs).
// e2e_application_tests runs these in a prefix of their own, whose desktop
// is a real folder (Wine links it to $HOME otherwise), and then looks at the
// shortcut files from Linux.

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>

#include "install/launch_win.h"
#include "tests/e2e/harness/start_log.h"
#include "tests/e2e/windows/standin_control_win.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::e2e {
namespace {

namespace installer = desktop::installer;

class LaunchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // As the installer's own start-up does.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  }
  void TearDown() override { EndEveryStandin(); }

  // An installation folder holding the stand-in as Zevrino.exe.
  static std::wstring MakeInstallation(const std::wstring& name) {
    const std::wstring folder = WorkFolder() + L"\\" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    CopyTestProgram(L"zevrino_standin.exe", folder + L"\\Zevrino.exe");
    return folder;
  }
};

TEST_F(LaunchTest, StartFailuresAreReported) {
  const std::string empty_folder = ToUtf8(WorkFolder() + L"\\empty");
  CreateDirectoryW(FromUtf8(empty_folder).c_str(), nullptr);
  EXPECT_FALSE(installer::StartApplication(FromUtf8(empty_folder), {}));
  EXPECT_FALSE(
      installer::StartProcess((empty_folder + "\\missing.exe").c_str(), "missing.exe", nullptr));
  // A working folder that does not exist fails the start too.
  const std::wstring folder = MakeInstallation(L"start-elsewhere");
  HANDLE process = nullptr;
  EXPECT_FALSE(installer::StartProcess(ToUtf8(folder + L"\\Zevrino.exe").c_str(), "Zevrino.exe",
                                       (empty_folder + "\\no-such-folder").c_str(), &process));
  EXPECT_EQ(process, nullptr);
}

struct LinkContents {
  std::string target;
  std::string directory;
  std::string arguments;
  std::string icon;
  int icon_index = -1;
};

// Reads a shell link back through IShellLinkW; false when it cannot be
// loaded.
bool ReadLink(const std::wstring& path, LinkContents* contents) {
  IShellLinkW* raw_link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&raw_link)))) {
    return false;
  }
  const installer::ScopedComPointer<IShellLinkW> link(raw_link);
  IPersistFile* raw_file = nullptr;
  if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&raw_file)))) {
    return false;
  }
  const installer::ScopedComPointer<IPersistFile> file(raw_file);
  if (FAILED(file.get()->Load(path.c_str(), STGM_READ))) {
    return false;
  }
  wchar_t text[MAX_PATH] = {};
  link.get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  contents->target = ToUtf8(text);
  text[0] = L'\0';
  link.get()->GetWorkingDirectory(text, MAX_PATH);
  contents->directory = ToUtf8(text);
  text[0] = L'\0';
  link.get()->GetArguments(text, MAX_PATH);
  contents->arguments = ToUtf8(text);
  text[0] = L'\0';
  link.get()->GetIconLocation(text, MAX_PATH, &contents->icon_index);
  contents->icon = ToUtf8(text);
  return true;
}

std::wstring UserFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)) ? folder
                                                                                          : L"";
}

// The desktop and Start menu shortcuts stay in place for the host test,
// which checks where they landed in the prefix and removes them.
TEST_F(LaunchTest, ShortcutsPointAtTheApplication) {
  const std::wstring folder = MakeInstallation(L"linked");
  const std::string folder_utf8 = ToUtf8(folder);
  const std::string target = folder_utf8 + "\\Zevrino.exe";
  installer::CreateShortcuts(folder);

  for (const int csidl : {CSIDL_DESKTOP, CSIDL_PROGRAMS}) {
    const std::wstring user_folder = UserFolder(csidl);
    ASSERT_FALSE(user_folder.empty()) << "folder " << csidl;
    LinkContents link;
    ASSERT_TRUE(ReadLink(user_folder + L"\\Zevrino.lnk", &link)) << ToUtf8(user_folder);
    EXPECT_EQ(link.target, target);
    EXPECT_EQ(link.directory, folder_utf8);
    EXPECT_EQ(link.arguments, "");
    EXPECT_EQ(link.icon, target);
    EXPECT_EQ(link.icon_index, 0);
  }

  // Arguments are stored only when given; a link in a missing folder fails.
  const std::wstring with_arguments = WorkFolder() + L"\\with-arguments.lnk";
  ASSERT_TRUE(installer::CreateShortcut(with_arguments, FromUtf8(target), folder,
                                        "/uninstall \"two words\""));
  LinkContents link;
  ASSERT_TRUE(ReadLink(with_arguments, &link));
  EXPECT_EQ(link.arguments, "/uninstall \"two words\"");
  EXPECT_EQ(link.target, target);
  EXPECT_FALSE(
      installer::CreateShortcut(WorkFolder() + L"\\missing\\x.lnk", FromUtf8(target), folder));
}

// The URI reaches whatever handles the zevrino scheme. Wine 8 looks schemes
// up in HKLM\Software\Classes only (HKCU\Software\Classes is ignored there,
// unlike on Windows), so the recorder is registered machine-wide; the checks
// run with Wine's full token, which may write there.
TEST_F(LaunchTest, OpensTheApplicationUri) {
  const std::wstring recorder = WorkFolder() + L"\\uri-handler.exe";
  ASSERT_TRUE(CopyTestProgram(L"recorder.exe", recorder));
  const std::wstring command = L"\"" + recorder + L"\" \"%1\"";
  const wchar_t* key = L"Software\\Classes\\zevrino";
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, L"URL:zevrino",
                            sizeof L"URL:zevrino"),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, L"URL Protocol", REG_SZ, L"", sizeof L""),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\zevrino\\shell\\open\\command",
                            nullptr, REG_SZ, command.c_str(),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);

  EXPECT_TRUE(installer::OpenInstalledApplication());
  const std::vector<StartRecord> starts =
      WaitForStarts(std::filesystem::path(recorder + L".log"), 1, kStartTimeout);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].command_line,
            "\"" + ToUtf8(recorder) + "\" \"zevrino:open?utm_medium=desktop-sa-installer\"");
}

}  // namespace
}  // namespace zevrino::e2e
