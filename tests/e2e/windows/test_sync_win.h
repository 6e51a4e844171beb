#pragma once
// What the Windows test programs share besides tests/support: UTF-8 output
// lines, and named events through which two test programs (the dialog robot
// and a program under test) take turns.

#include <windows.h>

#include <string>

#include "tests/e2e/harness/support.h"

namespace zevrino::e2e {

// Writes `line` and a line feed to standard output as UTF-8 bytes (no CR
// added) and flushes, so a reader sees each line as soon as it is written.
void PrintLine(const std::string& line);

// Backslash, line feed, CR and tab as \\ \n \r \t: one line per text.
std::string Escape(const std::string& text);

// The manual-reset event `name` of the session, created by whichever side
// comes first. Set: it stays set. Await: true once it is set.
bool SignalNamedEvent(const std::wstring& name);
bool AwaitNamedEvent(const std::wstring& name, DWORD timeout_ms);

}  // namespace zevrino::e2e
