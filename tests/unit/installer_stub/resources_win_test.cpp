// The resources of installer_stub.exe, read back the way Windows and the shell
// read them: from installer_stub.exe itself and from this test program, which
// links the same resources so that the manifest also governs a live process.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

#include "tests/support/little_endian.h"
#include "tests/support/process_win.h"
#include "tests/support/utf16.h"
#include "tests/unit/installer_stub/stub_path_win.h"
#include "windows/system_library_win.h"

namespace zevrino::desktop::installer {
namespace {

using testing::OwnPath;
using testing::ToUtf8;

// A module whose resources can be read: the stub is loaded as an image
// resource, this program is its own module.
class ResourceModule {
 public:
  explicit ResourceModule(const std::wstring& path) {
    if (path == OwnPath()) {
      module_ = ::GetModuleHandleW(nullptr);
    } else {
      module_ = ::LoadLibraryExW(path.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
      loaded_ = module_ != nullptr;
    }
  }
  ~ResourceModule() {
    if (loaded_) {
      ::FreeLibrary(module_);
    }
  }
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;

  HMODULE get() const { return module_; }

  std::string Text(LPCWSTR type, int id) const {
    HRSRC resource = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (resource == nullptr) {
      return {};
    }
    const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module_, resource)));
    return std::string(data, ::SizeofResource(module_, resource));
  }

 private:
  HMODULE module_ = nullptr;
  bool loaded_ = false;
};

std::vector<std::wstring> ModulesUnderTest() {
  return {testing::StubPath(), OwnPath()};
}

TEST(Resources, ManifestDeclaresWhatTheChecksNeed) {
  for (const std::wstring& path : ModulesUnderTest()) {
    SCOPED_TRACE(ToUtf8(path));
    ResourceModule module(path);
    ASSERT_NE(module.get(), nullptr) << ::GetLastError();
    const std::string manifest = module.Text(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    for (const char* required : {
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
             "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
             "level=\"asInvoker\" uiAccess=\"false\"",
             ">true</dpiAware>",
             ">system</dpiAwareness>",
             ">true</longPathAware>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
         }) {
      EXPECT_NE(manifest.find(required), std::string::npos) << required;
    }
  }
}

// With the Windows 10 id in the manifest the version test sees the real
// version (the Wine prefix is set to report Windows 10).
TEST(Resources, ManifestLetsTheVersionTestSeeWindows10) {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = 10;
  DWORDLONG mask = 0;
  mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  EXPECT_TRUE(::VerifyVersionInfoW(
      &version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask));
}

TEST(Resources, VersionInformationCarriesTheProductVersion) {
  // Through version.dll from System32, as the installer reads it.
  const auto version_info_size = GetSystemFunction<decltype(&::GetFileVersionInfoSizeW)>(
      L"version.dll", "GetFileVersionInfoSizeW");
  const auto version_info =
      GetSystemFunction<decltype(&::GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
  const auto query_value =
      GetSystemFunction<decltype(&::VerQueryValueW)>(L"version.dll", "VerQueryValueW");
  ASSERT_TRUE(version_info_size && version_info && query_value);
  unsigned parts[4] = {};
  ASSERT_EQ(
      std::sscanf(ZV_PRODUCT_VERSION, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]),
      4);
  const std::string expected = ZV_PRODUCT_VERSION;
  for (const std::wstring& path : ModulesUnderTest()) {
    SCOPED_TRACE(ToUtf8(path));
    const DWORD size = version_info_size(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<std::uint8_t> info(size);
    ASSERT_TRUE(version_info(path.c_str(), 0, size, info.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(query_value(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 0x04B0);

    ASSERT_TRUE(
        query_value(info.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", &value, &length));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)),
              std::wstring(expected.begin(), expected.end()));

    // The numeric version holds the leading numbers of the same string.
    ASSERT_TRUE(query_value(info.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwProductVersionMS, parts[0] << 16 | parts[1]);
    EXPECT_EQ(fixed->dwProductVersionLS, parts[2] << 16 | parts[3]);
  }
}

// comctl32 is loaded at run time from System32, not imported; the manifest's
// Common Controls 6 dependency must still redirect such a load to version 6,
// which lives in the side-by-side store. (The module's own DllGetVersion is
// no witness: Wine's reports 5 for both.)
TEST(Resources, RunTimeLoadOfComctl32IsVersion6) {
  const HMODULE comctl32 = LoadSystemLibrary(L"comctl32.dll");
  ASSERT_NE(comctl32, nullptr) << ::GetLastError();
  wchar_t path[MAX_PATH] = L"";
  ASSERT_NE(::GetModuleFileNameW(comctl32, path, MAX_PATH), 0u);
  std::wstring lower = path;
  for (wchar_t& c : lower) {
    c = static_cast<wchar_t>(::towlower(c));
  }
  EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << ToUtf8(lower);
  EXPECT_NE(lower.find(L"microsoft.windows.common-controls_"), std::wstring::npos) << ToUtf8(lower);
  EXPECT_NE(lower.find(L"_6.0."), std::wstring::npos) << ToUtf8(lower);
}

TEST(Resources, IconOneHoldsSeveralSizes) {
  for (const std::wstring& path : ModulesUnderTest()) {
    SCOPED_TRACE(ToUtf8(path));
    ResourceModule module(path);
    const std::string group = module.Text(RT_GROUP_ICON, 1);
    ASSERT_GE(group.size(), 6u);
    const unsigned count = testing::GetLe16(group, 4);
    EXPECT_GE(count, 3u);
    for (int size : {16, 32, 48}) {
      HICON icon = static_cast<HICON>(
          ::LoadImageW(module.get(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
      EXPECT_NE(icon, nullptr) << size;
      ::DestroyIcon(icon);
    }
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
