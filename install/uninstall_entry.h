#pragma once
// The values of the per-user uninstall entry, in the order they are written.
// Platform-free so that names, order and contents are tested natively; the
// Windows side only writes the list (registry_win.h).

#include <cstdint>
#include <string>
#include <vector>

namespace zevrino::desktop::installer {

// HKEY_CURRENT_USER\<kUninstallKey>
inline constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zevrino";
// Older versions started a helper at log-on from this value; it is removed
// by every normal install.
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Zevrino Web Helper";

struct RegistryValue {
  enum class Type { kString, kDword };
  std::string name;
  Type type = Type::kString;
  std::string text;         // kString (UTF-8)
  std::uint32_t dword = 0;  // kDword
};

struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// "YYYYMMDD", e.g. 20240305 for 5 March 2024.
std::string FormatInstallDate(const LocalDate& date);

// EstimatedSize of `bytes`: KiB, rounded up; a size beyond what a DWORD
// holds is given as the largest it does.
std::uint32_t EstimatedSizeKib(std::uint64_t bytes);

// The entry for an installation in `directory` (UTF-8, kept exactly as
// given) by an installer of `version` (may be empty: DisplayVersion and
// Version are then left out), registered on `date`, whose files take
// `installed_bytes` (shown by Apps & features as EstimatedSize, the last
// value).
std::vector<RegistryValue> UninstallEntryValues(const char* directory, const std::string& version,
                                                const LocalDate& date,
                                                std::uint64_t installed_bytes);

}  // namespace zevrino::desktop::installer
