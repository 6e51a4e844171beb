#include "tests/e2e/windows/test_sync_win.h"

#include <cstdio>

namespace zevrino::e2e {

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
  ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  // The event must outlive this call until the other side has seen it: a
  // handle left open keeps it; the process's end releases it.
  return event.valid() && SetEvent(event.Release()) != FALSE;
}

bool AwaitNamedEvent(const std::wstring& name, DWORD timeout_ms) {
  const ScopedKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  return event.valid() && WaitForSingleObject(event.get(), timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace zevrino::e2e
