#pragma once
// The installer's registry writes under HKEY_CURRENT_USER. Names, paths and
// texts are UTF-8 and converted to UTF-16 at each call.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "install/uninstall_entry.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {

// Creates or opens `path` under `root` with full access; an invalid key on
// failure.
ScopedRegistryKey CreateRegistryKey(HKEY root, const char* path);

// REG_SZ with its terminating NUL; a text that is not valid UTF-8 is stored
// empty. False without writing when `key` is null.
bool SetRegistryString(HKEY key, const char* name, const char* text);

// REG_DWORD. False without writing when `key` is null.
bool SetRegistryDword(HKEY key, const char* name, std::uint32_t value);

// Writes `values` in order into `key`; a failing write does not stop the
// following ones. True when every write succeeded.
bool SetRegistryValues(HKEY key, const std::vector<RegistryValue>& values);

// Deletes value `name` of key `path` (UTF-8) under `root`; true when deleted.
bool DeleteRegistryValue(HKEY root, const char* path, const char* name);

// Writes the uninstall entry of the installation in `directory` (UTF-8) with
// the installer's own product version, today's local date and the size of
// its files (`installed_bytes`). True when every value was written; callers
// go on either way.
bool RegisterUninstallEntry(const char* directory, std::uint64_t installed_bytes);

}  // namespace zevrino::desktop::installer
