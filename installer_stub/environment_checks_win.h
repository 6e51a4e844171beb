#pragma once
// The checks before an installer run touches the disk. Each answers with a
// bool; the checks of the Windows version and of the account show their own
// refusal unless `silent`. The caller picks the exit code and the log line.

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/mode_ports.h"

namespace zevrino::desktop::installer {

// Windows 10 or later; otherwise says so unless `silent` and returns false.
bool CheckWindowsVersion(bool silent);

// The elevation type of this process's token (TokenElevationTypeDefault 1,
// Full 2, Limited 3). S_OK, or E_FAIL when the token cannot be queried.
HRESULT QueryElevationType(std::uint32_t* type);

// True for an administrator's full (elevated) token; a token that cannot be
// queried counts as not elevated.
bool IsElevated();

// False only for an administrator's full (elevated) token, after saying so
// unless `silent`. A token that cannot be queried is accepted.
bool CheckAccount(bool silent);

// The Account port (base/mode_ports.h) over CheckAccount.
class WindowsAccount final : public Account {
 public:
  bool MayInstall(bool silent) override { return CheckAccount(silent); }
};

// The packaging API of kernel32, found at run time (Windows 8 and later have
// it; Wine has only part of it). Declared here because MinGW ships no
// appmodel.h. The strings are only read (PACKAGE_ID's PWSTR has the same
// layout).
struct StorePackageId {
  UINT32 reserved;
  UINT32 processor_architecture;
  UINT64 version;
  PCWSTR name;
  PCWSTR publisher;
  PCWSTR resource_id;
  PCWSTR publisher_id;
};
using PackageFamilyNameFromIdFunction = LONG(WINAPI*)(const StorePackageId* id, UINT32* length,
                                                      PWSTR family_name);
using GetPackagesByPackageFamilyFunction = LONG(WINAPI*)(PCWSTR family_name, UINT32* count,
                                                         PWSTR* full_names, UINT32* buffer_length,
                                                         WCHAR* buffer);

// kernel32's functions, each looked up once per process; null when absent.
PackageFamilyNameFromIdFunction GetPackageFamilyNameFromId();
GetPackagesByPackageFamilyFunction GetGetPackagesByPackageFamily();

// The family name of the application's Store package; empty when the API is
// missing or fails.
std::wstring GetStorePackageFamilyName(PackageFamilyNameFromIdFunction family_name_from_id);
std::wstring GetStorePackageFamilyName();

// A Store installation of the application exists for this user. Missing
// functions and failures answer false.
bool IsStorePackageInstalled(PackageFamilyNameFromIdFunction family_name_from_id,
                             GetPackagesByPackageFamilyFunction packages_by_family);
bool IsStorePackageInstalled();

}  // namespace zevrino::desktop::installer
