// The uninstall entry: every value, its type and its place in the order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/product_settings.h"
#include "install/uninstall_entry.h"

namespace zevrino::desktop::installer {
namespace {

std::vector<std::string> Names(const std::vector<RegistryValue>& values) {
  std::vector<std::string> names;
  for (const RegistryValue& value : values) {
    names.push_back(value.name);
  }
  return names;
}

const RegistryValue* Find(const std::vector<RegistryValue>& values, const std::string& name) {
  for (const RegistryValue& value : values) {
    if (value.name == name) {
      return &value;
    }
  }
  return nullptr;
}

TEST(UninstallEntry, EveryValueInOrder) {
  const auto values = UninstallEntryValues("C:\\A", "1.2.36", {2024, 3, 5}, 3 << 20);
  EXPECT_EQ(Names(values), (std::vector<std::string>{
                               "DisplayIcon", "DisplayName", "DisplayVersion", "Version",
                               "InstallDate", "InstallLocation", "NoModify", "NoRepair",
                               "Publisher", "UninstallString", "URLInfoAbout", "EstimatedSize"}));
  struct Expected {
    const char* name;
    const char* text;
  };
  const Expected texts[] = {
      {"DisplayIcon", "C:\\A\\Zevrino.exe"},
      {"DisplayName", "Zevrino"},
      {"DisplayVersion", "1.2.36"},
      {"Version", "1.2.36"},
      {"InstallDate", "20240305"},
      {"InstallLocation", "C:\\A"},
      {"Publisher", "Zevrino AB"},
      {"UninstallString", "\"C:\\A\\Zevrino.exe\" /uninstall"},
  };
  for (const Expected& expected : texts) {
    const RegistryValue* value = Find(values, expected.name);
    ASSERT_NE(value, nullptr) << expected.name;
    EXPECT_EQ(value->type, RegistryValue::Type::kString) << expected.name;
    EXPECT_EQ(value->text, expected.text) << expected.name;
  }
  for (const char* name : {"NoModify", "NoRepair"}) {
    const RegistryValue* value = Find(values, name);
    ASSERT_NE(value, nullptr) << name;
    EXPECT_EQ(value->type, RegistryValue::Type::kDword) << name;
    EXPECT_EQ(value->dword, 1u) << name;
  }
  EXPECT_EQ(values.back().type, RegistryValue::Type::kDword);
  EXPECT_EQ(values.back().dword, 3072u);  // EstimatedSize: KiB
  const RegistryValue* about = Find(values, "URLInfoAbout");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->text, kProductHomePageUrl);
  EXPECT_EQ(about->text.rfind("https://", 0), 0u) << about->text;
}

TEST(UninstallEntry, NoVersionLeavesBothVersionValuesOutAndKeepsTheDirectoryAsGiven) {
  // A trailing separator is dropped when the executable's path is joined,
  // but InstallLocation keeps the directory exactly as given.
  const auto values =
      UninstallEntryValues("C:\\Users\\u\\AppData\\Roaming\\Zevrino-beta\\", "", {999, 12, 31}, 0);
  EXPECT_EQ(Find(values, "DisplayVersion"), nullptr);
  EXPECT_EQ(Find(values, "Version"), nullptr);
  EXPECT_EQ(values.size(), 10u);
  EXPECT_EQ(Find(values, "InstallDate")->text, "09991231");
  EXPECT_EQ(Find(values, "InstallLocation")->text,
            "C:\\Users\\u\\AppData\\Roaming\\Zevrino-beta\\");
  EXPECT_EQ(Find(values, "DisplayIcon")->text,
            "C:\\Users\\u\\AppData\\Roaming\\Zevrino-beta\\Zevrino.exe");
}

TEST(UninstallEntry, EstimatedSizeIsKibRoundedUpToWhatADwordHolds) {
  const std::pair<std::uint64_t, std::uint32_t> sizes[] = {
      {0, 0}, {1, 1}, {1024, 1}, {1025, 2}, {~0ull, ~0u}};
  for (const auto& [bytes, kib] : sizes) {
    EXPECT_EQ(EstimatedSizeKib(bytes), kib) << bytes;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
