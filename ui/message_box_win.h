#pragma once
// Message boxes in the user's language.

#include "base/result_code.h"

namespace zevrino::desktop::installer {

// Shows `text` (already translated UTF-8) with the translated caption
// "Zevrino", owned by the calling thread's active window, with exactly the
// MB_* `flags` given. Returns the button MessageBoxW returns (IDOK, IDCANCEL,
// IDRETRY, IDYES, IDNO...).
int ShowMessageBox(const char* text, unsigned int flags);

}  // namespace zevrino::desktop::installer
