#include <vector>

#include "installer_stub/environment_checks_win.h"

namespace zevrino::desktop::installer {
namespace {

// The application's Store listing.
constexpr wchar_t kStorePackageName[] = L"VurodirUD.RedezazIzuda";
constexpr wchar_t kStorePackagePublisher[] = L"CN=7A1C42E9-3B5D-4F60-9E21-C84D07B3A5F2";

// A function of kernel32 found once: a found pointer is kept for the rest of
// the process; a failed LoadLibraryW is tried again on the next call. kernel32
// is always loaded from System32, so the plain load is safe.
template <typename Function>
Function LookUpKernel32Function(Function* cache, const char* name) {
  if (*cache != nullptr) {
    return *cache;
  }
  const HMODULE kernel32 = ::LoadLibraryW(L"kernel32.dll");
  if (kernel32 == nullptr) {
    return nullptr;
  }
  *cache = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name)));
  return *cache;
}

}  // namespace

PackageFamilyNameFromIdFunction GetPackageFamilyNameFromId() {
  static PackageFamilyNameFromIdFunction cache = nullptr;
  return LookUpKernel32Function(&cache, "PackageFamilyNameFromId");
}

GetPackagesByPackageFamilyFunction GetGetPackagesByPackageFamily() {
  static GetPackagesByPackageFamilyFunction cache = nullptr;
  return LookUpKernel32Function(&cache, "GetPackagesByPackageFamily");
}

std::wstring GetStorePackageFamilyName(PackageFamilyNameFromIdFunction family_name_from_id) {
  if (family_name_from_id == nullptr) {
    return std::wstring();
  }
  StorePackageId id = {};
  id.name = kStorePackageName;
  id.publisher = kStorePackagePublisher;
  UINT32 length = 0;
  if (family_name_from_id(&id, &length, nullptr) != ERROR_INSUFFICIENT_BUFFER || length == 0) {
    return std::wstring();
  }
  std::vector<wchar_t> name(length);
  if (family_name_from_id(&id, &length, name.data()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  // Up to the terminating zero, which must lie inside what was allocated.
  name.back() = L'\0';
  return std::wstring(name.data());
}

std::wstring GetStorePackageFamilyName() {
  return GetStorePackageFamilyName(GetPackageFamilyNameFromId());
}

bool IsStorePackageInstalled(PackageFamilyNameFromIdFunction family_name_from_id,
                             GetPackagesByPackageFamilyFunction packages_by_family) {
  if (packages_by_family == nullptr) {
    return false;
  }
  const std::wstring family = GetStorePackageFamilyName(family_name_from_id);
  if (family.empty()) {
    return false;
  }
  // With no buffer the call reports an insufficient buffer whenever packages
  // exist; only the count it writes back matters.
  UINT32 count = 0;
  UINT32 buffer_length = 0;
  packages_by_family(family.c_str(), &count, nullptr, &buffer_length, nullptr);
  return count > 0;
}

bool IsStorePackageInstalled() {
  const GetPackagesByPackageFamilyFunction packages_by_family = GetGetPackagesByPackageFamily();
  if (packages_by_family == nullptr) {
    return false;
  }
  return IsStorePackageInstalled(GetPackageFamilyNameFromId(), packages_by_family);
}

}  // namespace zevrino::desktop::installer
