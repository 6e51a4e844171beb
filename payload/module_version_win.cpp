#include "payload/module_version_win.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "windows/system_library_win.h"

namespace zevrino::desktop::installer {
namespace {

constexpr DWORD kFirstModulePathSize = 256;
// The longest path the system has, with its NUL: one doubling more.
constexpr DWORD kLargestModulePathSize = 32768;

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// version.dll is loaded at run time from System32 (see system_library_win.h).
struct VersionApi {
  decltype(&::GetFileVersionInfoSizeW) info_size = nullptr;
  decltype(&::GetFileVersionInfoW) info = nullptr;
  decltype(&::VerQueryValueA) query = nullptr;

  bool Load() {
    info_size = GetSystemFunction<decltype(info_size)>(L"version.dll", "GetFileVersionInfoSizeW");
    info = GetSystemFunction<decltype(info)>(L"version.dll", "GetFileVersionInfoW");
    query = GetSystemFunction<decltype(query)>(L"version.dll", "VerQueryValueA");
    return info_size != nullptr && info != nullptr && query != nullptr;
  }
};

}  // namespace

std::wstring GetModulePath() {
  std::vector<wchar_t> buffer;
  for (DWORD size = kFirstModulePathSize; size <= kLargestModulePathSize; size *= 2) {
    buffer.resize(size);
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    const DWORD last_error = GetLastError();
    if (last_error == ERROR_SUCCESS)
      return std::wstring(buffer.data(), length);
    if (last_error != ERROR_INSUFFICIENT_BUFFER)
      break;
  }
  return std::wstring();
}

namespace {

// The string `name` of a file's version resource, for the first language and
// code page it lists; empty when the file has none.
std::string QueryVersionString(const std::wstring& path, const char* name) {
  VersionApi api;
  if (!api.Load())
    return std::string();
  DWORD ignored = 0;
  const DWORD size = api.info_size(path.c_str(), &ignored);
  if (size == 0)
    return std::string();
  std::vector<std::uint8_t> info(size);
  if (!api.info(path.c_str(), 0, size, info.data()))
    return std::string();

  void* translation = nullptr;
  UINT translation_size = 0;
  if (!api.query(info.data(), "\\VarFileInfo\\Translation", &translation, &translation_size) ||
      translation == nullptr || translation_size < 4) {
    return std::string();
  }
  const auto* pair = static_cast<const WORD*>(translation);
  char query[64];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", pair[0], pair[1], name);

  void* value = nullptr;
  UINT value_size = 0;
  if (!api.query(info.data(), query, &value, &value_size) || value == nullptr || value_size == 0) {
    return std::string();
  }
  // value_size counts characters including the terminating zero.
  const char* text = static_cast<const char*>(value);
  std::size_t length = 0;
  while (length < value_size && text[length] != '\0')
    ++length;
  return std::string(text, length);
}

}  // namespace

std::string GetProductVersion(const std::wstring& path) {
  return QueryVersionString(path, "ProductVersion");
}

std::string GetProductName(const std::wstring& path) {
  return QueryVersionString(path, "ProductName");
}

std::string GetOwnProductVersion() {
  return GetProductVersion(GetModulePath());
}

std::wstring DefaultExtractDirectory() {
  std::wstring directory = GetModulePath();
  std::size_t cut = directory.size();
  while (cut > 0 && !IsSeparator(directory[cut - 1]))
    --cut;
  while (cut > 0 && IsSeparator(directory[cut - 1]))
    --cut;
  directory.resize(cut);

  const std::string name = "zevrino-update-" + GetOwnProductVersion();
  std::wstring wide_name;
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  if (length > 0) {
    wide_name.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), wide_name.data(),
                        length);
  }
  if (!directory.empty() && !IsSeparator(directory.back()))
    directory += L'\\';
  return directory + wide_name;
}

}  // namespace zevrino::desktop::installer
