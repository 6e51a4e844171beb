#include "install/uninstall_entry.h"

#include "base/path_utf8.h"
#include "base/product_settings.h"
#include "text/format.h"

namespace zevrino::desktop::installer {
namespace {

RegistryValue String(const char* name, std::string text) {
  return {name, RegistryValue::Type::kString, std::move(text), 0};
}

RegistryValue Dword(const char* name, std::uint32_t value) {
  return {name, RegistryValue::Type::kDword, std::string(), value};
}

}  // namespace

std::string FormatInstallDate(const LocalDate& date) {
  return text::format("%.4d%.2d%.2d", date.year, date.month, date.day);
}

std::uint32_t EstimatedSizeKib(std::uint64_t bytes) {
  const std::uint64_t kib = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
  return kib > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(kib);
}

std::vector<RegistryValue> UninstallEntryValues(const char* directory, const std::string& version,
                                                const LocalDate& date,
                                                std::uint64_t installed_bytes) {
  const std::string executable = JoinPath(directory, kApplicationFileName);
  std::vector<RegistryValue> values;
  values.push_back(String("DisplayIcon", executable));
  values.push_back(String("DisplayName", "Zevrino"));
  if (!version.empty()) {
    values.push_back(String("DisplayVersion", version));
    values.push_back(String("Version", version));
  }
  values.push_back(String("InstallDate", FormatInstallDate(date)));
  values.push_back(String("InstallLocation", directory));
  values.push_back(Dword("NoModify", 1));
  values.push_back(Dword("NoRepair", 1));
  values.push_back(String("Publisher", "Zevrino AB"));
  values.push_back(String("UninstallString", "\"" + executable + "\" /uninstall"));
  values.push_back(String("URLInfoAbout", kProductHomePageUrl));
  values.push_back(Dword("EstimatedSize", EstimatedSizeKib(installed_bytes)));
  return values;
}

}  // namespace zevrino::desktop::installer
