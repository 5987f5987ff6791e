#include "format/tag_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "format/record_reader.h"

namespace {

// Stores at most cap - 1 bytes of s and a terminator.
void store(std::string_view s, char* dst, std::size_t cap) {
  if (cap == 0) return;
  const std::size_t kept = std::min(s.size(), cap - 1);
  if (kept != 0) std::memcpy(dst, s.data(), kept);
  dst[kept] = '\0';
}

}  // namespace

std::size_t file_read(void* dst, std::size_t size, std::size_t count, tagFile* f) {
  if (size == 0 || count == 0 || count > SIZE_MAX / size) return 0;
  RecordReader r(f);
  return r.bytes(dst, size * count) ? count : 0;
}

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
  RecordReader(f).seek(static_cast<int32_t>(target));
  return 0;
}

int read_counted_string(tagFile* f, char* dst, std::size_t cap) {
  RecordReader r(f);
  store(r.counted_view(), dst, cap);
  return r.ok() ? 1 : 0;
}

int read_cstring(tagFile* f, char* dst, std::size_t cap) {
  RecordReader r(f);
  const std::string_view rest = r.rest();
  const std::string_view s = r.zero_terminated();
  if (r.ok()) {
    store(s, dst, cap);
    return 1;
  }
  // Without a zero the rest is stored and passed over all the same.
  store(rest, dst, cap);
  if (!rest.empty()) file_seek(f, static_cast<int32_t>(rest.size()), 1);
  return 0;
}

int read_pt3(tagFile* f, double* xyz) { return file_read(xyz, 8, 3, f) == 3 ? 1 : 0; }
