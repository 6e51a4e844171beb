#include "install/registry_win.h"

#include <string>

#include "payload/module_version_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

bool SetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  if (key == nullptr) {
    return false;
  }
  const std::wstring wide_name = Utf8ToWide(name);
  return ::RegSetValueExW(key, wide_name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

}  // namespace

ScopedRegistryKey CreateRegistryKey(HKEY root, const char* path) {
  const std::wstring wide_path = Utf8ToWide(path);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, wide_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return ScopedRegistryKey();
  }
  return ScopedRegistryKey(key);
}

bool SetRegistryString(HKEY key, const char* name, const char* text) {
  const std::wstring wide = Utf8ToWide(text);
  const DWORD size = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
  return SetValue(key, name, REG_SZ, wide.c_str(), size);
}

bool SetRegistryDword(HKEY key, const char* name, std::uint32_t value) {
  const DWORD data = value;
  return SetValue(key, name, REG_DWORD, &data, sizeof data);
}

bool SetRegistryValues(HKEY key, const std::vector<RegistryValue>& values) {
  bool all_written = true;
  for (const RegistryValue& value : values) {
    const bool written = value.type == RegistryValue::Type::kDword
                             ? SetRegistryDword(key, value.name.c_str(), value.dword)
                             : SetRegistryString(key, value.name.c_str(), value.text.c_str());
    all_written = all_written && written;
  }
  return all_written;
}

bool DeleteRegistryValue(HKEY root, const char* path, const char* name) {
  const std::wstring wide_path = Utf8ToWide(path);
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, wide_path.c_str(), 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) {
    return false;
  }
  const ScopedRegistryKey key(opened);
  const std::wstring wide_name = Utf8ToWide(name);
  return ::RegDeleteValueW(key.get(), wide_name.c_str()) == ERROR_SUCCESS;
}

bool RegisterUninstallEntry(const char* directory, std::uint64_t installed_bytes) {
  const ScopedRegistryKey key = CreateRegistryKey(HKEY_CURRENT_USER, kUninstallKey);
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  const LocalDate today = {now.wYear, now.wMonth, now.wDay};
  return SetRegistryValues(
      key.get(), UninstallEntryValues(directory, GetOwnProductVersion(), today, installed_bytes));
}

}  // namespace zevrino::desktop::installer
