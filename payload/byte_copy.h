#pragma once
// CopyBytes: memcpy with a short path for the few-byte copies that dominate
// LZMA decoding, where liblzma copies every match with a memcpy call. Like
// the C runtime's copy it replaces, it also copies overlapping ranges as
// memmove does, for callers that wrongly rely on that. Written without calls to memcpy and without
// loops a compiler could turn back into one, so that it can serve as the program's memcpy
// (installer_stub/memcpy_win.cpp).

#include <cstddef>
#include <cstdint>

namespace zevrino::desktop::installer {

namespace byte_copy_detail {
typedef std::uint64_t __attribute__((may_alias, aligned(1))) Unaligned64;
typedef std::uint32_t __attribute__((may_alias, aligned(1))) Unaligned32;
}  // namespace byte_copy_detail

inline void* CopyBytes(void* destination, const void* source, std::size_t size) {
  using byte_copy_detail::Unaligned32;
  using byte_copy_detail::Unaligned64;
  auto* d = static_cast<unsigned char*>(destination);
  const auto* s = static_cast<const unsigned char*>(source);
  if (size <= 16) {
    // Two copies that may overlap each other cover every length in a range.
    if (size >= 8) {
      const std::uint64_t head = *reinterpret_cast<const Unaligned64*>(s);
      const std::uint64_t tail = *reinterpret_cast<const Unaligned64*>(s + size - 8);
      *reinterpret_cast<Unaligned64*>(d) = head;
      *reinterpret_cast<Unaligned64*>(d + size - 8) = tail;
    } else if (size >= 4) {
      const std::uint32_t head = *reinterpret_cast<const Unaligned32*>(s);
      const std::uint32_t tail = *reinterpret_cast<const Unaligned32*>(s + size - 4);
      *reinterpret_cast<Unaligned32*>(d) = head;
      *reinterpret_cast<Unaligned32*>(d + size - 4) = tail;
    } else if (size > 0) {
      const unsigned char first = s[0];
      const unsigned char middle = s[size / 2];
      const unsigned char last = s[size - 1];
      d[0] = first;
      d[size / 2] = middle;
      d[size - 1] = last;
    }
    return destination;
  }
  const auto from = reinterpret_cast<std::uintptr_t>(s);
  const auto to = reinterpret_cast<std::uintptr_t>(d);
  if (to > from && to - from < size) {
    return __builtin_memmove(destination, source, size);  // rare; memmove is no copy of ours
  }
#if defined(__x86_64__) || defined(__i386__)
  // Fast for any length on processors of the last decade.
  asm volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(size) : : "memory");
#else
  __builtin_memcpy(d, s, size);
#endif
  return destination;
}

}  // namespace zevrino::desktop::installer
