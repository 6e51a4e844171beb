#pragma once
// The owner of the Windows Runtime strings the language lookup uses; COM
// pointers and the apartment have their owners in windows/.

#include <windows.h>
#include <winstring.h>

#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::i18n::gettext {

// An HSTRING from WindowsCreateString or a Windows Runtime call, released with
// WindowsDeleteString.
struct hstring_traits {
  using Handle = HSTRING;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { ::WindowsDeleteString(handle); }
};

using scoped_hstring = installer::ScopedHandle<hstring_traits>;

}  // namespace zevrino::desktop::i18n::gettext
