#pragma once
// Reads of a file mapping whose storage may go away while they run: the
// installer's own file on a USB stick that is pulled or on a share that
// drops. Windows raises EXCEPTION_IN_PAGE_ERROR at the next touch of a page
// of the view that is not in memory (Wine reports a file truncated under it
// as an access violation at an address inside the view); unguarded, the
// process dies with a crash dialog and leaves its staged files behind.
//
// GuardMappedRead runs a read so that such a fault ends it: the read is
// abandoned where it stood, a level-2 line is logged and false is returned,
// for the caller to fail with its own code and roll back as after any other
// failure. Only a fault that reads an address inside the range given, on
// the thread that runs the read, counts; any other fault (another address,
// a write, another thread, a thread outside any guard) goes on to whoever
// handles it and ends the process as before.
//
// Because nothing between the fault and the guard is unwound, a read must
// own nothing that needs releasing: no heap memory, lock or handle of its
// own, and no destructor that must run. The callers guard pure computations
// over the view: the marker search and the digest, the body's two varints,
// one call of the LZMA decoder (whose state the caller owns and ends), the
// copy of a stored body.
//
// Windows: a vectored exception handler, added on first use and kept for
// the process's life, finds the faulting thread's innermost guard in a TLS
// slot and lets the thread go on in a function that jumps back to the guard
// (__builtin_setjmp and __builtin_longjmp, outside the exception dispatch;
// MinGW's GCC has no __try). Nested guards are allowed. Elsewhere the read
// just runs: nothing maps a file there.

#include <cstdint>
#include <utility>

namespace zevrino::desktop::installer {

using MappedRead = void (*)(void* context);

// Runs read(context); true when it ran to its end, false when a fault of a
// guarded read stopped it.
bool RunGuardedMappedRead(const void* begin, const void* end, MappedRead read, void* context);

template <typename Read>
bool GuardMappedRead(const void* begin, const void* end, Read&& read) {
  return RunGuardedMappedRead(
      begin, end, [](void* context) { (*static_cast<std::remove_reference_t<Read>*>(context))(); },
      &read);
}

// The exception codes a vanished mapping is reported with.
constexpr std::uint32_t kInPageError = 0xC0000006;      // EXCEPTION_IN_PAGE_ERROR
constexpr std::uint32_t kAccessViolation = 0xC0000005;  // EXCEPTION_ACCESS_VIOLATION, Wine
constexpr std::uintptr_t kReadAccess = 0;  // ExceptionInformation[0] of a faulting read

// Whether a fault with `code`, reported for an access of kind `access` at
// `address`, is the fault of a read guarded over [begin, end).
bool IsFaultOfGuardedRead(std::uint32_t code, std::uintptr_t access, std::uintptr_t address,
                          std::uintptr_t begin, std::uintptr_t end);

}  // namespace zevrino::desktop::installer
