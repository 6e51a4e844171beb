// token_probe.exe: reports what a process started by the end-to-end tests
// sees, so that the harness and the launcher can be checked without the
// installer.
//
//   token_probe.exe [--exit N] [--env NAME] [--appdata-file NAME TEXT]
//                   [--registry-value NAME TEXT] [--window] [ARGS...]
//
// Prints, one per line on stdout: "elevation=T" (TOKEN_ELEVATION_TYPE: 1
// default, 2 full, 3 limited), "version=MAJOR.MINOR", "env=VALUE" for --env,
// and "arg=A" for every other argument (UTF-8). --appdata-file writes TEXT to
// %APPDATA%\NAME; --registry-value sets the string value NAME under
// HKCU\Software\ZevrinoE2eProbe; --window prints "window=1" when a window
// can be created (it needs a display under Wine), else "window=0". Writes "probe stderr" to stderr
// and exits with N (default 0); 100 when one of its own steps failed.

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/e2e/harness/support.h"

namespace {

using zevrino::e2e::ScopedKernelHandle;
using zevrino::e2e::ToUtf8;

constexpr int kProbeFailed = 100;

int ElevationType() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
    return 0;
  }
  const ScopedKernelHandle token(raw);
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size)) {
    return 0;
  }
  return static_cast<int>(type);
}

// RtlGetVersion is not subject to the manifest-based version lie of
// GetVersionEx, so it shows the version the prefix is set to.
void PrintVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  const auto rtl_get_version = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (rtl_get_version != nullptr && rtl_get_version(&info) == 0) {
    std::printf("version=%lu.%lu\n", info.dwMajorVersion, info.dwMinorVersion);
  }
}

bool WriteAppDataFile(const wchar_t* name, const wchar_t* text) {
  wchar_t folder[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return false;
  }
  const std::wstring path = std::wstring(folder) + L"\\" + name;
  const ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    return false;
  }
  const std::string bytes = ToUtf8(text);
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool WriteRegistryValue(const wchar_t* name, const wchar_t* text) {
  const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
  return RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\ZevrinoE2eProbe", name, REG_SZ, text,
                         bytes) == ERROR_SUCCESS;
}

bool CanCreateWindow() {
  HWND window = CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) {
    return false;
  }
  DestroyWindow(window);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int exit_code = 0;
  std::printf("elevation=%d\n", ElevationType());
  PrintVersion();
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--exit" && i + 1 < argc) {
      exit_code = _wtoi(argv[++i]);
    } else if (arg == L"--env" && i + 1 < argc) {
      const wchar_t* value = _wgetenv(argv[++i]);
      std::printf("env=%s\n", value != nullptr ? ToUtf8(value).c_str() : "(unset)");
    } else if (arg == L"--appdata-file" && i + 2 < argc) {
      if (!WriteAppDataFile(argv[i + 1], argv[i + 2])) {
        return kProbeFailed;
      }
      i += 2;
    } else if (arg == L"--registry-value" && i + 2 < argc) {
      if (!WriteRegistryValue(argv[i + 1], argv[i + 2])) {
        return kProbeFailed;
      }
      i += 2;
    } else if (arg == L"--window") {
      std::printf("window=%d\n", CanCreateWindow() ? 1 : 0);
    } else {
      std::printf("arg=%s\n", ToUtf8(arg).c_str());
    }
  }
  std::fflush(stdout);
  std::fprintf(stderr, "probe stderr\n");
  return exit_code;
}
