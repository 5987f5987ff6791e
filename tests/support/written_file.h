// Test support: a drawing written to memory, and little readers over it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "save/drawing_writer.h"

inline std::vector<unsigned char> written_bytes(const KT_Drawing& drawing) {
  std::vector<unsigned char> out;
  TorvWriter w;
  w.memory = &out;
  EXPECT_TRUE(write_drawing(w, drawing));
  return out;
}

inline int32_t int32_at(const std::vector<unsigned char>& b, std::size_t offset) {
  int32_t v = 0;
  if (offset + 4 <= b.size()) std::memcpy(&v, b.data() + offset, 4);
  return v;
}

inline std::vector<unsigned char> bytes_at(const std::vector<unsigned char>& b, std::size_t offset,
                                           std::size_t n) {
  if (offset > b.size()) return {};
  if (n > b.size() - offset) n = b.size() - offset;
  return {b.begin() + static_cast<std::ptrdiff_t>(offset), b.begin() + static_cast<std::ptrdiff_t>(offset + n)};
}

inline std::string text_at(const std::vector<unsigned char>& b, std::size_t offset, std::size_t n) {
  auto v = bytes_at(b, offset, n);
  return {v.begin(), v.end()};
}
