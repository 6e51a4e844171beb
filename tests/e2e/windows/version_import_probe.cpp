// Imports version.dll statically, as installer_stub.exe once did: the
// control of the DLL-planting test, which shows that a version.dll next to
// such a program is loaded (and its DllMain run) before wmain.

#include <windows.h>

#include <cstdio>

int wmain() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  std::printf("version info size: %lu\n",
              static_cast<unsigned long>(::GetFileVersionInfoSizeW(path, &ignored)));
  return 0;
}
