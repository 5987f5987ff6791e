// The writing primitives every section writer uses: little-endian numbers,
// IEEE doubles, tags and the two string forms.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "save/torv_writer.h"

// Numbers go out little-endian whatever the host's order; inline, since a
// large drawing is tens of millions of them.
template <class U>
inline void write_little_endian(TorvWriter& w, U value) {
  unsigned char bytes[sizeof(U)];
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(bytes, &value, sizeof(U));
  } else {
    for (std::size_t i = 0; i < sizeof(U); ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  }
  writer_put(w, bytes, sizeof bytes);
}

// The characters without terminator or length; null writes nothing.
void write_tag(TorvWriter& w, const char* tag);
inline void write_int16(TorvWriter& w, int16_t value) { write_little_endian(w, static_cast<uint16_t>(value)); }
inline void write_int32(TorvWriter& w, int32_t value) { write_little_endian(w, static_cast<uint32_t>(value)); }
inline void write_real(TorvWriter& w, double value) { write_little_endian(w, std::bit_cast<uint64_t>(value)); }
inline void write_pt2(TorvWriter& w, double x, double y) {
  write_real(w, x);
  write_real(w, y);
}
inline void write_pt3(TorvWriter& w, double x, double y, double z) {
  write_real(w, x);
  write_real(w, y);
  write_real(w, z);
}
void write_zeros(TorvWriter& w, std::size_t count);
// int16 length, then the characters without terminator; null writes
// nothing. A string longer than an int16 can count is cut to 32767 bytes.
inline constexpr std::size_t kLongestCountedString = 32767;
// True when write_counted_string would cut text.
inline bool beyond_counted_string(const char* text) {
  return text != nullptr && std::strlen(text) > kLongestCountedString;
}
void write_counted_string(TorvWriter& w, const char* text);
// The characters, then one zero byte; null writes nothing.
void write_cstring(TorvWriter& w, const char* text);
