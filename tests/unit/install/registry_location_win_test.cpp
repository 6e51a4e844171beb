// Registry primitives, the uninstall entry as Windows stores it, and the
// installation directory, against the real registry and shell folders.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/path_utf8.h"
#include "install/install_location_win.h"
#include "install/registry_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

const wchar_t kScratchKey[] = L"Software\\ZevrinoUnitTest";
const wchar_t kUninstallKeyWide[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zevrino";

// The raw bytes and type of a value, or type REG_NONE when absent.
struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

StoredValue Read(const wchar_t* key, const wchar_t* name) {
  StoredValue value;
  DWORD size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr,
                     &size) != ERROR_SUCCESS) {
    value.type = REG_NONE;
    return value;
  }
  value.data.resize(size);
  ::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                 value.data.data(), &size);
  return value;
}

std::wstring AsText(const StoredValue& value) {
  return std::wstring(reinterpret_cast<const wchar_t*>(value.data.data()),
                      value.data.size() / sizeof(wchar_t));
}

// Value names of a key in the order Windows enumerates them.
std::vector<std::wstring> ValueNames(const wchar_t* key_path) {
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    if (::RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  ::RegCloseKey(key);
  return names;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKeyWide);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKeyWide);
  }
};

TEST_F(RegistryTest, PrimitivesWriteUtf16WithTheirNulAndDeleteOnlyWhatExists) {
  ScopedRegistryKey key = CreateRegistryKey(HKEY_CURRENT_USER, "Software\\ZevrinoUnitTest\\sub");
  ASSERT_TRUE(key.valid());
  EXPECT_TRUE(SetRegistryString(key.get(), u8"caf\u00e9", u8"\u8cc7\u6599 \U0001F600"));
  EXPECT_TRUE(SetRegistryString(key.get(), "bad", "\xff\xfe"));
  EXPECT_TRUE(SetRegistryDword(key.get(), "n", 0x01020304));
  EXPECT_FALSE(SetRegistryString(nullptr, "x", "y"));
  EXPECT_FALSE(SetRegistryDword(nullptr, "x", 1));
  key.Close();

  const wchar_t* sub = L"Software\\ZevrinoUnitTest\\sub";
  const StoredValue text = Read(sub, L"caf\u00e9");
  EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(AsText(text), std::wstring(L"\u8cc7\u6599 \U0001F600") + L'\0');
  const StoredValue bad = Read(sub, L"bad");
  EXPECT_EQ(bad.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(AsText(bad), std::wstring(1, L'\0')) << "invalid UTF-8 is stored empty";
  const StoredValue number = Read(sub, L"n");
  EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number.data, (std::vector<BYTE>{4, 3, 2, 1}));

  EXPECT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\ZevrinoUnitTest\\sub", "n"));
  EXPECT_EQ(Read(sub, L"n").type, static_cast<DWORD>(REG_NONE));
  EXPECT_FALSE(DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\ZevrinoUnitTest\\sub", "n"));
  EXPECT_FALSE(DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\ZevrinoUnitTest\\none", "n"));
  EXPECT_EQ(Read(sub, L"bad").type, static_cast<DWORD>(REG_SZ)) << "other values stay";
}

TEST_F(RegistryTest, UninstallEntryLandsInOrderWithTodaysDate) {
  ASSERT_TRUE(
      RegisterUninstallEntry(u8"C:\\Users\\u\\AppData\\Roaming\\Zevrino-\u00e9", 5 * 1024 + 1));
  // This test program has no version resource, so both version values are
  // left out. (Wine enumerates values sorted by name, so the order of the
  // writes is checked where the list is built, not here.)
  EXPECT_EQ(ValueNames(kUninstallKeyWide),
            (std::vector<std::wstring>{L"DisplayIcon", L"DisplayName", L"EstimatedSize",
                                       L"InstallDate", L"InstallLocation", L"NoModify", L"NoRepair",
                                       L"Publisher", L"UninstallString", L"URLInfoAbout"}));
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  wchar_t today[16];
  swprintf(today, 16, L"%.4d%.2d%.2d", now.wYear, now.wMonth, now.wDay);
  EXPECT_EQ(AsText(Read(kUninstallKeyWide, L"InstallDate")), std::wstring(today) + L'\0');
  EXPECT_EQ(AsText(Read(kUninstallKeyWide, L"UninstallString")),
            std::wstring(L"\"C:\\Users\\u\\AppData\\Roaming\\Zevrino-\u00e9\\Zevrino.exe\" "
                         L"/uninstall") +
                L'\0');
  EXPECT_EQ(Read(kUninstallKeyWide, L"NoRepair").data, (std::vector<BYTE>{1, 0, 0, 0}));
  const StoredValue size = Read(kUninstallKeyWide, L"EstimatedSize");
  EXPECT_EQ(size.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size.data, (std::vector<BYTE>{6, 0, 0, 0})) << "KiB, rounded up";
}

TEST(InstallLocation, AppDataFolderWithTheMuSuffix) {
  const std::string app_data = GetShellFolderPath(CSIDL_APPDATA);
  ASSERT_FALSE(app_data.empty());
  EXPECT_NE(::GetFileAttributesW(Utf8ToWide(app_data).c_str()), INVALID_FILE_ATTRIBUTES)
      << app_data;
  EXPECT_EQ(GetShellFolderPath(0x7F), "") << "a folder Windows does not know";

  EXPECT_EQ(WideToUtf8(DefaultInstallDirectory("beta")), app_data + "\\Zevrino-beta");
  EXPECT_EQ(WideToUtf8(DefaultInstallDirectory(nullptr)), app_data + "\\Zevrino");
}

}  // namespace
}  // namespace zevrino::desktop::installer
