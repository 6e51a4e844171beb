#include "windows/file_identity_win.h"

#include <windows.h>

#include "base/wide_path.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {

bool IdentifyFile(const std::wstring& path, FileIdentity* identity) {
  const ScopedFileHandle file(::CreateFileW(ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                            nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!file.valid() || !::GetFileInformationByHandle(file.get(), &information)) {
    return false;
  }
  identity->volume = information.dwVolumeSerialNumber;
  identity->index =
      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return true;
}

}  // namespace zevrino::desktop::installer
