#pragma once
// The installer's registry writes under HKEY_CURRENT_USER.

#include <windows.h>

namespace zevrino::desktop::installer {

// Deletes value `name` of key `path` (UTF-8) under `root`; true when deleted.
bool DeleteRegistryValue(HKEY root, const char* path, const char* name);

}  // namespace zevrino::desktop::installer
