// The Store check's use of the packaging API, with stand-ins for the two
// kernel32 functions (Wine's kernel32 lacks GetPackagesByPackageFamily), and
// the named mutexes that mark a running installer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "installer_stub/environment_checks_win.h"
#include "windows/named_mutex_win.h"

namespace zevrino::desktop::installer {
namespace {

// Behaviour of the stand-ins, set by each test.
struct FakePackageApi {
  LONG size_query_result = ERROR_INSUFFICIENT_BUFFER;
  LONG fill_result = ERROR_SUCCESS;
  std::wstring family_name = L"VurodirUD.RedezazIzuda_abcdefghijk";
  UINT32 package_count = 0;
  int family_calls = 0;
  bool id_as_expected = true;
  std::wstring family_queried;
};
FakePackageApi fake;

LONG WINAPI FakeFamilyNameFromId(const StorePackageId* id, UINT32* length, PWSTR name) {
  ++fake.family_calls;
  fake.id_as_expected = fake.id_as_expected && id->reserved == 0 &&
                        id->processor_architecture == 0 && id->version == 0 &&
                        id->resource_id == nullptr && id->publisher_id == nullptr &&
                        std::wstring(id->name) == L"VurodirUD.RedezazIzuda" &&
                        std::wstring(id->publisher) == L"CN=7A1C42E9-3B5D-4F60-9E21-C84D07B3A5F2";
  const UINT32 needed = static_cast<UINT32>(fake.family_name.size() + 1);
  if (name == nullptr) {
    *length = needed;
    return fake.size_query_result;
  }
  if (*length < needed) {
    return ERROR_INSUFFICIENT_BUFFER;
  }
  if (fake.fill_result == ERROR_SUCCESS) {
    fake.family_name.copy(name, fake.family_name.size());
    name[fake.family_name.size()] = L'\0';
  }
  return fake.fill_result;
}

LONG WINAPI FakePackagesByFamily(PCWSTR family, UINT32* count, PWSTR* full_names,
                                 UINT32* buffer_length, WCHAR* buffer) {
  fake.family_queried = family;
  EXPECT_EQ(*count, 0u);
  EXPECT_EQ(full_names, nullptr);
  EXPECT_EQ(*buffer_length, 0u);
  EXPECT_EQ(buffer, nullptr);
  *count = fake.package_count;
  *buffer_length = fake.package_count * 64;
  return fake.package_count > 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS;
}

TEST(StorePackage, FamilyNameAndPackageCount) {
  fake = FakePackageApi();
  EXPECT_EQ(GetStorePackageFamilyName(&FakeFamilyNameFromId), fake.family_name);
  EXPECT_TRUE(fake.id_as_expected);

  fake.package_count = 1;
  EXPECT_TRUE(IsStorePackageInstalled(&FakeFamilyNameFromId, &FakePackagesByFamily));
  EXPECT_EQ(fake.family_queried, fake.family_name);

  fake.package_count = 0;
  EXPECT_FALSE(IsStorePackageInstalled(&FakeFamilyNameFromId, &FakePackagesByFamily));
}

TEST(StorePackage, EveryFailureAnswersNotInstalled) {
  fake = FakePackageApi();
  fake.package_count = 3;
  // Without the package query the family name is not even computed.
  EXPECT_FALSE(IsStorePackageInstalled(&FakeFamilyNameFromId, nullptr));
  EXPECT_EQ(fake.family_calls, 0);
  EXPECT_FALSE(IsStorePackageInstalled(nullptr, &FakePackagesByFamily));
  EXPECT_EQ(GetStorePackageFamilyName(nullptr), L"");

  fake.size_query_result = ERROR_SUCCESS;  // anything but "insufficient buffer"
  EXPECT_EQ(GetStorePackageFamilyName(&FakeFamilyNameFromId), L"");
  EXPECT_FALSE(IsStorePackageInstalled(&FakeFamilyNameFromId, &FakePackagesByFamily));

  fake.size_query_result = ERROR_INSUFFICIENT_BUFFER;
  fake.fill_result = ERROR_INVALID_PARAMETER;
  EXPECT_EQ(GetStorePackageFamilyName(&FakeFamilyNameFromId), L"");
  EXPECT_FALSE(IsStorePackageInstalled(&FakeFamilyNameFromId, &FakePackagesByFamily));
  EXPECT_TRUE(fake.family_queried.empty());
}

TEST(StorePackage, Kernel32FunctionsAreLookedUpOnce) {
  // Wine exports PackageFamilyNameFromId but not GetPackagesByPackageFamily;
  // Windows 10 has both. Either way repeated lookups agree and the real check
  // runs without failing.
  EXPECT_EQ(GetPackageFamilyNameFromId(), GetPackageFamilyNameFromId());
  EXPECT_EQ(GetGetPackagesByPackageFamily(), GetGetPackagesByPackageFamily());
  if (GetGetPackagesByPackageFamily() == nullptr) {
    EXPECT_FALSE(IsStorePackageInstalled());
  }
}

TEST(NamedMutex, SecondCreatorSeesTheFirstUntilItsHandleCloses) {
  const wchar_t* name = L"Zevrino unit test mutex";
  HANDLE first = nullptr;
  ASSERT_TRUE(TryCreateNamedMutex(name, &first));
  ASSERT_NE(first, nullptr);
  HANDLE second = reinterpret_cast<HANDLE>(1);
  EXPECT_FALSE(TryCreateNamedMutex(name, &second));
  EXPECT_EQ(second, reinterpret_cast<HANDLE>(1)) << "a refused call leaves the out value alone";
  ::CloseHandle(first);
  HANDLE again = nullptr;
  EXPECT_TRUE(TryCreateNamedMutex(name, &again));
  ::CloseHandle(again);
}

}  // namespace
}  // namespace zevrino::desktop::installer
