// Each byte's two hexadecimal digits, for writers that spell bytes or
// colours a pair at a time.
#pragma once

#include <array>
#include <cstddef>

namespace kttrv::view {

constexpr std::array<char, 512> make_hex_pairs(const char (&digits)[17]) {
  std::array<char, 512> pairs{};
  for (int b = 0; b < 256; ++b) {
    pairs[static_cast<std::size_t>(2 * b)] = digits[b >> 4];
    pairs[static_cast<std::size_t>(2 * b + 1)] = digits[b & 0xF];
  }
  return pairs;
}

inline constexpr std::array<char, 512> kHexPairsLower = make_hex_pairs("0123456789abcdef");
inline constexpr std::array<char, 512> kHexPairsUpper = make_hex_pairs("0123456789ABCDEF");

}  // namespace kttrv::view
