#include "windows/wide_text_win.h"

#include <windows.h>

namespace zevrino::desktop::installer {

bool Utf8ToWidePath(const char* utf8, std::wstring* path) {
  path->clear();
  if (utf8 == nullptr) {
    return false;
  }
  // -1: the terminating NUL is counted too, so 0 means invalid input.
  const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (units <= 0 || static_cast<std::size_t>(units) > kMaxWidePath) {
    return false;
  }
  path->resize(static_cast<std::size_t>(units));
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, path->data(), units);
  path->pop_back();  // the converted NUL
  return true;
}

std::wstring Utf8ToWide(const char* utf8) {
  if (utf8 == nullptr || *utf8 == '\0') {
    return std::wstring();
  }
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (length <= 0) {
    return std::wstring();
  }
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, result.data(), length);
  result.resize(static_cast<std::size_t>(length - 1));  // the converted NUL
  return result;
}

std::wstring Utf8ToWide(const std::string& text) {
  return Utf8ToWide(text.c_str());
}

namespace {

std::string WideTo(UINT code_page, DWORD flags, const std::wstring& text, BOOL* used_default) {
  if (text.empty()) {
    return std::string();
  }
  const int wide_length = static_cast<int>(text.size());
  const int length = ::WideCharToMultiByte(code_page, flags, text.data(), wide_length, nullptr, 0,
                                           nullptr, used_default);
  if (length <= 0) {
    return std::string();
  }
  std::string result(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(code_page, flags, text.data(), wide_length, result.data(), length, nullptr,
                        used_default);
  return result;
}

}  // namespace

std::string WideToUtf8(const std::wstring& text) {
  return WideTo(CP_UTF8, 0, text, nullptr);
}

std::string WideToLogText(const std::wstring& text) {
  const UINT ansi = ::GetACP();
  // The UTF-8 code page takes neither the flag nor the default-char report.
  if (ansi == CP_UTF8 || text.empty()) {
    return WideToUtf8(text);
  }
  BOOL used_default = FALSE;
  std::string converted = WideTo(ansi, WC_NO_BEST_FIT_CHARS, text, &used_default);
  if (converted.empty() || used_default) {
    return WideToUtf8(text);
  }
  return converted;
}

}  // namespace zevrino::desktop::installer
