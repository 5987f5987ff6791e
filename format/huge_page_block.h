// Fresh memory in 2 MiB pages: the file's block and the stand-in kernel's
// arena chunks, whose first touch would otherwise fault 4 KiB at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#if !defined(_WIN32)
#include <sys/mman.h>
#endif

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// An anonymous mapping of at least `bytes`, rounded up to whole 2 MiB pages,
// on a 2 MiB boundary and advised for 2 MiB pages (a hint only). Null where
// there is no such mapping (then `length` is left alone); else `length` is
// what to unmap.
inline void* map_huge_page_block([[maybe_unused]] std::size_t bytes, [[maybe_unused]] std::size_t& length) {
#if defined(MADV_HUGEPAGE)
  if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePageBytes) return nullptr;
  const std::size_t rounded = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  // One huge page more than needed; keep the aligned part.
  void* raw = ::mmap(nullptr, rounded + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto begin = reinterpret_cast<std::uintptr_t>(raw);
  const auto aligned = (begin + kHugePageBytes - 1) & ~(std::uintptr_t{kHugePageBytes} - 1);
  if (aligned > begin) ::munmap(raw, aligned - begin);
  const std::uintptr_t tail = begin + rounded + kHugePageBytes - (aligned + rounded);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + rounded), tail);
  ::madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);
  length = rounded;
  return reinterpret_cast<void*>(aligned);
#else
  return nullptr;
#endif
}
