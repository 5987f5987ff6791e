#include "format/tag_file.h"

#include <limits>

int file_seek(tagFile* f, int32_t offset, int mode) {
  int64_t base = 0;
  switch (mode) {
    case 0: base = 0; break;
    case 1: base = f->position; break;
    case 2: base = f->length; break;
    default: return 0;
  }
  const int64_t target = base + offset;
  if (target < std::numeric_limits<int32_t>::min() || target > std::numeric_limits<int32_t>::max())
    return -1;
  f->position = static_cast<int32_t>(target);
  return 0;
}

int read_counted_string(tagFile* f, char* dst, std::size_t cap) {
  const std::size_t left = file_remaining(f);
  if (left < 2) {
    if (cap) dst[0] = '\0';
    return 0;
  }
  int16_t n = 0;
  std::memcpy(&n, f->buffer + f->position, 2);
  const std::size_t body = n > 0 ? static_cast<std::size_t>(n) : 0;
  if (body > left - 2) {
    if (cap) dst[0] = '\0';
    return 0;
  }
  if (cap) {
    const std::size_t kept = body < cap - 1 ? body : cap - 1;
    std::memcpy(dst, f->buffer + f->position + 2, kept);
    dst[kept] = '\0';
  }
  f->position += static_cast<int32_t>(2 + body);
  return 1;
}

int read_cstring(tagFile* f, char* dst, std::size_t cap) {
  const std::size_t left = file_remaining(f);
  const unsigned char* start = f->buffer + (left ? f->position : 0);
  const void* zero = left ? std::memchr(start, 0, left) : nullptr;
  const std::size_t len = zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - start) : left;
  if (cap) {
    const std::size_t kept = len < cap - 1 ? len : cap - 1;
    if (kept) std::memcpy(dst, start, kept);
    dst[kept] = '\0';
  }
  if (left) f->position += static_cast<int32_t>(zero ? len + 1 : len);
  return zero ? 1 : 0;
}
