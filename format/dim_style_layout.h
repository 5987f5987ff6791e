// The dimension style record as the reader and the writer share it: 216
// bytes, and where each of the kernel's reals lies in it.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kDimStyleRecordSize = 216;

// Real entry <-> offset; the scale at 26 multiplies the scaled ones as they
// are loaded (the writer stores them divided by it).
struct DimStyleReal {
  int entry;
  std::size_t offset;
  bool scaled;
};
inline constexpr DimStyleReal kDimStyleReals[] = {
    {1, 34, true},    {6, 42, true},   {4, 50, false},  {5, 58, true},   {9, 66, false},
    {3, 74, false},   {12, 82, false}, {11, 90, false}, {15, 98, true},  {2, 106, false},
    {13, 114, false}, {0, 122, false}, {8, 130, false}, {14, 138, false}, {7, 154, false},
};

// A scaled real as loaded: the stored value times the scale. With a NaN
// operand the product is a NaN whose payload the processor takes from one
// operand by their order, and the compiler may swap the operands of each
// multiplication (clang at -O3 does), so the reader and the writer's check
// would keep different NaNs. The rule is spelled out instead: a NaN value
// gives its own payload, else a NaN scale its own, either made quiet.
inline double scaled_real(double value, double scale) {
  constexpr uint64_t kQuiet = uint64_t{1} << 51;
  if (std::isnan(value)) return std::bit_cast<double>(std::bit_cast<uint64_t>(value) | kQuiet);
  if (std::isnan(scale)) return std::bit_cast<double>(std::bit_cast<uint64_t>(scale) | kQuiet);
  return value * scale;
}
