#pragma once
// The installer's named mutexes. Each is a marker of existence only: created
// (not initially owned) and kept open to tell other processes that something
// is going on, or only looked for; never waited on, owned or released.
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
//
// The handles of the names a process holds stay open until it ends, unless
// said otherwise. The application's own named objects are in
// ui/running_application_win.h.

namespace zevrino::desktop::installer {

inline constexpr wchar_t kInteractiveMutexName[] = L"Zevrino Update Started Interactive Mutex";
inline constexpr wchar_t kUpdateStartedMutexName[] = L"Zevrino Update Started Mutex";
inline constexpr wchar_t kUpdateMutexName[] = L"Zevrino Update Mutex";
inline constexpr wchar_t kUpdateFailedMutexName[] = L"Zevrino Update Failed Mutex";

}  // namespace zevrino::desktop::installer
