#pragma once
// The Authenticode checks of a web install: the signature of a downloaded
// file, and the signer of the program's own file. wintrust.dll and
// crypt32.dll are loaded at run time from System32, never imported (see
// windows/system_library_win.h).

#include <windows.h>

#include <optional>
#include <string>

#include "webinstall/download_trust.h"

namespace zevrino::desktop::installer {

// Checks the signature of the file open as `file` (read access) with
// WinVerifyTrust (generic verify v2, no user interface, no revocation
// check). Everything is read through the handle, so the answer belongs to
// the file held open, whatever its name names meanwhile; `path` only names
// it. When wintrust cannot be loaded the result is E_FAIL.
SignatureCheck CheckFileSignature(HANDLE file, const std::wstring& path);

// The names of the certificate that signed the file at `path`, from the
// signature embedded in it, without any trust check; nothing when it has
// no signature (or it cannot be read).
std::optional<SignerNames> EmbeddedSigner(const std::wstring& path);

}  // namespace zevrino::desktop::installer
