#include "webinstall/native_architecture_win.h"

#include <windows.h>

#include "webinstall/download_address.h"

namespace zevrino::desktop::installer {

std::string NativeArchitectureName() {
  using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  // kernel32 is loaded in every process; only the function may be missing.
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) {
    return std::string();
  }
  const auto is_wow64_process2 = reinterpret_cast<IsWow64Process2Function>(
      reinterpret_cast<void*>(::GetProcAddress(kernel32, "IsWow64Process2")));
  USHORT process_machine = 0;
  USHORT native_machine = 0;
  if (is_wow64_process2 == nullptr ||
      !is_wow64_process2(::GetCurrentProcess(), &process_machine, &native_machine)) {
    return std::string();
  }
  return ArchitectureNameOfMachine(native_machine);
}

std::string ReplaceArchPlaceholder(const std::string& address) {
  return ReplaceArchPlaceholder(address, NativeArchitectureName());
}

}  // namespace zevrino::desktop::installer
