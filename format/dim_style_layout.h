// The dimension style record as the reader and the writer share it: 216
// bytes, and where each of the kernel's reals lies in it.
#pragma once

#include <cstddef>

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
