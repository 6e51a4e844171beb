#include "tests/e2e/windows/test_sync_win.h"

#include <cstdio>

#include "tests/e2e/windows/unique_handle_win.h"

namespace zevrino::e2e {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) {
    return {};
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

void PrintLine(const std::string& line) {
  const std::string bytes = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool SignalNamedEvent(const std::wstring& name) {
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  // The event must outlive this call until the other side has seen it: a
  // handle left open keeps it; the process's end releases it.
  return event && SetEvent(event.Release()) != FALSE;
}

bool AwaitNamedEvent(const std::wstring& name, DWORD timeout_ms) {
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  return event && WaitForSingleObject(event.get(), timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace zevrino::e2e
