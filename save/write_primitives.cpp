#include "save/write_primitives.h"

#include <cstring>

void write_tag(TorvWriter& w, const char* tag) {
  if (tag != nullptr) writer_put(w, tag, std::strlen(tag));
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
