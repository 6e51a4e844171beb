// Windows GUI programs that return at once: what starting a statically linked
// 64-bit program costs (under Wine: the loader, the Wine process set-up and
// its exit), the floor that the installer's own start-up is compared with in
// tools/bench/install_peer_bench.sh. Built three times:
//   do_nothing.exe      imports only KERNEL32 and msvcrt
//   do_nothing_gui.exe  (ZV_IMPORT_USER32) also imports USER32, as every
//                       program with a window does, which under Wine connects
//                       it to the desktop (and starts the desktop process
//                       when none runs)
//   do_nothing_com.exe  (ZV_INITIALISE_COM) initialises COM for its thread as
//                       the installer does before it reads its payload: a
//                       single-threaded apartment, which has a window of its
//                       own (and under Wine pulls USER32 in through combase)
#include <windows.h>
#ifdef ZV_INITIALISE_COM
#include <objbase.h>
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#if defined(ZV_INITIALISE_COM)
  return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) ? 0
                                                                                               : 1;
#elif defined(ZV_IMPORT_USER32)
  return GetSystemMetrics(SM_CMONITORS) >= 0 ? 0 : 1;
#else
  return 0;
#endif
}
