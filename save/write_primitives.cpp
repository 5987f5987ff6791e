#include "save/write_primitives.h"

#include <bit>
#include <cstring>

namespace {

template <class U>
void put_little_endian(TorvWriter& w, U value) {
  unsigned char bytes[sizeof(U)];
  for (std::size_t i = 0; i < sizeof(U); ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  writer_put(w, bytes, sizeof bytes);
}

}  // namespace

void write_tag(TorvWriter& w, const char* tag) {
  if (tag != nullptr) writer_put(w, tag, std::strlen(tag));
}

void write_int16(TorvWriter& w, int16_t value) { put_little_endian(w, static_cast<uint16_t>(value)); }

void write_int32(TorvWriter& w, int32_t value) { put_little_endian(w, static_cast<uint32_t>(value)); }

void write_real(TorvWriter& w, double value) { put_little_endian(w, std::bit_cast<uint64_t>(value)); }

void write_pt2(TorvWriter& w, double x, double y) {
  write_real(w, x);
  write_real(w, y);
}

void write_pt3(TorvWriter& w, double x, double y, double z) {
  write_real(w, x);
  write_real(w, y);
  write_real(w, z);
}

void write_zeros(TorvWriter& w, std::size_t count) {
  static constexpr unsigned char kZeros[64] = {};
  while (count > 0 && w.ok) {
    const std::size_t n = count < sizeof kZeros ? count : sizeof kZeros;
    writer_put(w, kZeros, n);
    count -= n;
  }
}

void write_counted_string(TorvWriter& w, const char* text) {
  if (text == nullptr) return;
  std::size_t length = std::strlen(text);
  if (length > kLongestCountedString) length = kLongestCountedString;
  write_int16(w, static_cast<int16_t>(length));
  writer_put(w, text, length);
}

void write_cstring(TorvWriter& w, const char* text) {
  if (text == nullptr) return;
  writer_put(w, text, std::strlen(text) + 1);
}
