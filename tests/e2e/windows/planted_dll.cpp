// A DLL as an attacker would leave it in a Downloads folder under the name of
// a system DLL (version.dll, wininet.dll, uxtheme.dll...): loading it at all
// runs DllMain, which writes "<its own path>.loaded" holding the path of the
// program that loaded it. The exports named in planted_dll.def let a program
// that imports version.dll statically resolve against it, as it would on
// Windows.

#include <windows.h>

extern "C" int PlantedReturnZero() {
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  wchar_t marker[MAX_PATH + 8];
  const DWORD length = ::GetModuleFileNameW(instance, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return TRUE;
  }
  lstrcpyW(marker + length, L".loaded");
  const HANDLE file = ::CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    wchar_t program[MAX_PATH];
    const DWORD program_length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    DWORD written = 0;
    ::WriteFile(file, program, program_length * sizeof(wchar_t), &written, nullptr);
    ::CloseHandle(file);
  }
  return TRUE;
}
