#pragma once
// Entry names of the package archive, from their stored UTF-8 form to a path
// relative to the target directory.
//
// The payload digest vouches for a shipped archive, but the installer must not
// write outside its target even for an archive it did not expect, so a name is
// refused unless every "/"-separated component is an ordinary file name:
//   - not empty, "." or ".." (this also refuses absolute names, "a//b", "a/")
//   - no ":" (drive designators, alternate data streams), no "\" (a separator
//     that is not ours), no NUL or other control character
//   - not a DOS device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$,
//     CONOUT$), with or without an extension
//   - no trailing "." or " ", which Windows strips, so that two names can
//     never reach the same file under different spellings
// and the bytes are strict UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF).

#include <cstddef>
#include <string>

namespace zevrino::desktop::installer {

// Strict UTF-8 to wide text: UTF-16 where wchar_t has 16 bits (Windows),
// UTF-32 elsewhere. Returns false, leaving *out unspecified, on any invalid
// sequence.
bool Utf8ToWide(const char* text, std::size_t size, std::wstring* out);

// True when the UTF-8 name is safe to lay down inside a target directory
// (rules above).
bool IsSafeArchiveName(const char* name, std::size_t size);

// Checks the name and converts it to a relative path with the native
// separator ("\" on Windows, "/" elsewhere). False for an unsafe or invalid
// name.
bool ArchiveNameToRelativePath(const char* name, std::size_t size, std::wstring* path);

}  // namespace zevrino::desktop::installer
