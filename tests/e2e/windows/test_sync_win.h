#pragma once
// What the Windows test programs share: UTF-8 output lines, waiting for a
// condition with a time limit, and named events through which two test
// programs (the dialog robot and a program under test) take turns.

#include <windows.h>

#include <string>

namespace zevrino::e2e {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// Writes `line` and a line feed to standard output as UTF-8 bytes (no CR
// added) and flushes, so a reader sees each line as soon as it is written.
void PrintLine(const std::string& line);

// Backslash, line feed, CR and tab as \\ \n \r \t: one line per text.
std::string Escape(const std::string& text);

// Calls `done` every 10 ms until it answers true (then true) or `timeout_ms`
// passes (then false).
template <typename Predicate>
bool WaitUntil(Predicate done, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (done()) {
      return true;
    }
    if (GetTickCount64() >= deadline) {
      return false;
    }
    Sleep(10);
  }
}

// The manual-reset event `name` of the session, created by whichever side
// comes first. Set: it stays set. Await: true once it is set.
bool SignalNamedEvent(const std::wstring& name);
bool AwaitNamedEvent(const std::wstring& name, DWORD timeout_ms);

}  // namespace zevrino::e2e
