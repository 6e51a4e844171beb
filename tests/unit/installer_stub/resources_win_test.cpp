// The resources of installer_stub.exe, linked into this test program and read
// back the way Windows and the shell read them.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string ResourceText(LPCWSTR type, int id) {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (resource == nullptr) {
    return {};
  }
  const auto* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, resource)));
  return std::string(data, ::SizeofResource(nullptr, resource));
}

TEST(Resources, ManifestDeclaresWhatTheChecksNeed) {
  const std::string manifest = ResourceText(RT_MANIFEST, 1);
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
           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
       }) {
    EXPECT_NE(manifest.find(required), std::string::npos) << required;
  }
  // With the Windows 10 id in place the version test sees the real version
  // (the Wine prefix is set to report Windows 10).
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
  wchar_t path[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  const DWORD size = ::GetFileVersionInfoSizeW(path, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, info.data()));

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
  EXPECT_EQ(static_cast<const WORD*>(value)[1], 0x04B0);

  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", &value,
                               &length));
  const std::wstring product_version(static_cast<const wchar_t*>(value));
  const std::string expected = ZV_PRODUCT_VERSION;
  EXPECT_EQ(product_version, std::wstring(expected.begin(), expected.end()));

  // The numeric version holds the leading numbers of the same string.
  unsigned parts[4] = {};
  ASSERT_EQ(
      std::sscanf(ZV_PRODUCT_VERSION, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]),
      4);
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwProductVersionMS, parts[0] << 16 | parts[1]);
  EXPECT_EQ(fixed->dwProductVersionLS, parts[2] << 16 | parts[3]);
}

TEST(Resources, IconOneHoldsSeveralSizes) {
  const std::string group = ResourceText(RT_GROUP_ICON, 1);
  ASSERT_GE(group.size(), 6u);
  const unsigned count = static_cast<std::uint8_t>(group[4]) | static_cast<std::uint8_t>(group[5])
                                                                   << 8;
  EXPECT_GE(count, 3u);
  for (int size : {16, 32, 48}) {
    HICON icon = static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    EXPECT_NE(icon, nullptr) << size;
    ::DestroyIcon(icon);
  }
}

}  // namespace
