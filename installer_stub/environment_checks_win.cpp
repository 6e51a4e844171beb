#include "installer_stub/environment_checks_win.h"

#include "i18n/catalog.h"
#include "ui/message_box_win.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {

namespace {

namespace gettext = i18n::gettext;

void ShowRefusal(const char* msgid) {
  ShowMessageBox(gettext::translate(msgid).c_str(), MB_OK | MB_ICONERROR);
}

bool IsWindowsVersionOrGreater(WORD major, WORD minor, WORD service_pack_major) {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = major;
  version.dwMinorVersion = minor;
  version.wServicePackMajor = service_pack_major;
  DWORDLONG mask = 0;
  mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              mask) != FALSE;
}

}  // namespace

bool CheckWindowsVersion(bool silent) {
  if (IsWindowsVersionOrGreater(10, 0, 0)) {
    return true;
  }
  if (!silent) {
    ShowRefusal("Zevrino requires Windows 10 or later. The installer is unable to continue.");
  }
  return false;
}

HRESULT QueryElevationType(std::uint32_t* type) {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) {
    return E_FAIL;
  }
  const ScopedKernelHandle token(opened);
  TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeDefault;
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenElevationType, &elevation, sizeof elevation,
                             &size)) {
    return E_FAIL;
  }
  *type = static_cast<std::uint32_t>(elevation);
  return S_OK;
}

bool IsElevated() {
  std::uint32_t type = 0;
  return SUCCEEDED(QueryElevationType(&type)) && type == TokenElevationTypeFull;
}

bool CheckAccount(bool silent) {
  if (!IsElevated()) {
    return true;
  }
  if (!silent) {
    ShowRefusal(
        "Please install Zevrino using a normal account instead of an Administrator account.");
  }
  return false;
}

}  // namespace zevrino::desktop::installer
