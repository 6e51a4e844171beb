#pragma once
// The named kernel objects through which the installer and the installed
// application see each other. Each is a marker of existence only: created
// and kept open to tell other processes that something is going on, or only
// looked for; a mutex here is never waited on, owned or released.
//
//   name                                     held by                looked for by
//   "Zevrino Update Started Interactive      web and normal         web and normal installs (20);
//    Mutex"                                  installs               a web install closes it before
//                                                                   it starts the full installer
//   "Zevrino Update Started Mutex"           normal installs and    normal installs (21); an update
//                                            updates                waits until it is free
//   "Zevrino Update Mutex"                   updates                the installed application
//   "Zevrino Update Failed Mutex"            outside this program   updates (present: nothing is
//                                                                   updated)
//   "ZevrinoProcessMutex"                    the application        installs and updates, to find
//                                                                   and close it
//   "ZevrinoWindowHandle" (file mapping:     the application        the same, for its window
//    its first 8 bytes hold the main
//    window handle)
//
// The handles of the names a process holds stay open until it ends, unless
// said otherwise.

namespace zevrino::desktop::installer {

inline constexpr wchar_t kInteractiveMutexName[] = L"Zevrino Update Started Interactive Mutex";
inline constexpr wchar_t kUpdateStartedMutexName[] = L"Zevrino Update Started Mutex";
inline constexpr wchar_t kUpdateMutexName[] = L"Zevrino Update Mutex";
inline constexpr wchar_t kUpdateFailedMutexName[] = L"Zevrino Update Failed Mutex";
inline constexpr wchar_t kApplicationMutexName[] = L"ZevrinoProcessMutex";
inline constexpr wchar_t kApplicationWindowMappingName[] = L"ZevrinoWindowHandle";

}  // namespace zevrino::desktop::installer
