// Starting the installed application, its shortcuts and its URI, checked
// with real processes, real shell links and the real shell under Wine.
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

#include "installer/scoped_handle_win.h"
#include "installer_stub/parse_options.h"
#include "payload/module_version_win.h"
#include "system/launch_win.h"
#include "tests/e2e/harness/standin_files.h"
#include "tests/e2e/harness/start_log.h"
#include "tests/e2e/windows/standin_control_win.h"
#include "tests/e2e/windows/start_record_win.h"
#include "ui/running_application_win.h"

namespace zevrino::e2e {
namespace {

namespace installer = desktop::installer;

class LaunchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // As the installer's own start-up does.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // An installer run with "--mu beta x": the mu option and one token it
    // does not know, both forwarded to the application.
    static char mu[] = "--mu";
    static char beta[] = "beta";
    static char x[] = "x";
    static char* tokens[] = {mu, beta, x};
    forwarded_ = installer::ParseOptions(tokens, 3).forwarded;
  }
  void TearDown() override { EndEveryStandin(); }

  // StartApplication, given a second chance only when Wine lost the new
  // process while starting it (ERROR_INTERNAL_ERROR, seen now and then on a
  // busy machine); any other failure is the code's.
  static bool StartApplication(const std::string& folder, const char* extra = nullptr) {
    if (installer::StartApplication(folder.c_str(), forwarded_, extra)) {
      return true;
    }
    return GetLastError() == ERROR_INTERNAL_ERROR &&
           installer::StartApplication(folder.c_str(), forwarded_, extra);
  }

  // An installation folder holding the stand-in as Zevrino.exe.
  static std::wstring MakeInstallation(const std::wstring& name) {
    const std::wstring folder = WorkFolder() + L"\\" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    CopyTestProgram(L"zevrino_standin.exe", folder + L"\\Zevrino.exe");
    return folder;
  }
  static inline installer::ForwardedArguments forwarded_;
};

// The whole life of an installed application as the installer sees it: a
// normal install starts it with the forwarded arguments, the next install
// finds and closes it and its listener, an update restarts it with the
// completion switch.
TEST_F(LaunchTest, StartsTheApplicationWithForwardedArgumentsAndClosesIt) {
  const std::wstring folder = MakeInstallation(L"installation");
  const std::string folder_utf8 = ToUtf8(folder);
  const std::filesystem::path log(folder + L"\\Zevrino.exe.log");
  const std::wstring program = folder + L"\\Zevrino.exe";

  ASSERT_TRUE(StartApplication(folder_utf8));
  std::vector<StartRecord> starts = WaitForStarts(log, 1, kStartTimeout);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], (StartRecord{"Zevrino.exe \"--mu\" \"beta\" \"x\"", folder_utf8}));

  HWND window = nullptr;
  ASSERT_TRUE(installer::IsApplicationRunning(&window));
  EXPECT_NE(window, nullptr);
  EXPECT_EQ(installer::FindApplicationWindow(), window);
  EXPECT_TRUE(installer::CloseApplication(program));
  EXPECT_FALSE(installer::IsApplicationRunning());
  // It ended by itself on the first message; nothing else was sent.
  EXPECT_EQ(ReadStandinMessages(program),
            (std::vector<std::string>{"main WM_QUERYENDSESSION", "exit"}));

  ASSERT_TRUE(StartApplication(folder_utf8, " /UPDATECOMPLETE"));
  starts = WaitForStarts(log, 2, kStartTimeout);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1],
            (StartRecord{"Zevrino.exe \"--mu\" \"beta\" /UPDATECOMPLETE \"x\"", folder_utf8}));
  // The listener window belongs to the same process: closing it ends that.
  ASSERT_TRUE(WaitUntil([] { return installer::IsApplicationRunning(); }, kStartTimeout));
  installer::CloseHttpsListener(program);
  EXPECT_FALSE(installer::IsApplicationRunning());
  EXPECT_EQ(
      ReadStandinMessages(program),
      (std::vector<std::string>{"main WM_QUERYENDSESSION", "exit", "listener WM_APP+1", "exit"}));
  // With nothing running, neither call finds anything to close.
  EXPECT_FALSE(installer::CloseApplication(program));
  installer::CloseHttpsListener(program);
}

// The uninstall entry runs Zevrino.exe with " /uninstall"; the stand-in
// then only notes its start and ends, holding none of the application's
// objects. The started process's handle goes to the caller.
TEST_F(LaunchTest, UninstallStartEndsAtOnce) {
  const std::wstring folder = MakeInstallation(L"uninstall");
  const std::string program = ToUtf8(folder + L"\\Zevrino.exe");
  HANDLE raw_process = nullptr;
  ASSERT_TRUE(installer::StartProcess(program.c_str(), "Zevrino.exe /uninstall",
                                      ToUtf8(folder).c_str(), &raw_process));
  const ScopedKernelHandle process(raw_process);
  ASSERT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  EXPECT_TRUE(GetExitCodeProcess(process.get(), &exit_code));
  EXPECT_EQ(exit_code, 0u);
  EXPECT_EQ(ReadStartLog(std::filesystem::path(folder + L"\\Zevrino.exe.log")),
            (std::vector<StartRecord>{{"Zevrino.exe /uninstall", ToUtf8(folder)}}));
  EXPECT_FALSE(installer::IsApplicationRunning());
}

TEST_F(LaunchTest, StartFailuresAreReported) {
  const std::string empty_folder = ToUtf8(WorkFolder() + L"\\empty");
  CreateDirectoryW(FromUtf8(empty_folder).c_str(), nullptr);
  EXPECT_FALSE(installer::StartApplication(empty_folder.c_str(), {}));
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
  installer::CreateShortcuts(folder_utf8.c_str());

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
  ASSERT_TRUE(installer::CreateShortcut(ToUtf8(with_arguments).c_str(), target.c_str(),
                                        folder_utf8.c_str(), "/uninstall \"two words\""));
  LinkContents link;
  ASSERT_TRUE(ReadLink(with_arguments, &link));
  EXPECT_EQ(link.arguments, "/uninstall \"two words\"");
  EXPECT_EQ(link.target, target);
  EXPECT_FALSE(installer::CreateShortcut(ToUtf8(WorkFolder() + L"\\missing\\x.lnk").c_str(),
                                         target.c_str(), folder_utf8.c_str()));
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

// The installer compares the installed Zevrino.exe's product version with
// its own; the stand-in comes in three builds for that comparison.
TEST_F(LaunchTest, StandinBuildsCarryTheirProductVersions) {
  EXPECT_EQ(installer::GetProductVersion(ProgramFolder() + L"\\zevrino_standin.exe"),
            ZV_PRODUCT_VERSION);
  EXPECT_EQ(installer::GetProductVersion(ProgramFolder() + L"\\zevrino_standin_old.exe"),
            "1.0.0.1");
  EXPECT_EQ(installer::GetProductVersion(ProgramFolder() + L"\\zevrino_standin_new.exe"),
            "9.9.9.9");
}

}  // namespace
}  // namespace zevrino::e2e
