#include "save/palette_numbers.h"

#include <algorithm>
#include <array>
#include <utility>

#include "entities/color_palette.h"

namespace {

// (value, lowest number) sorted by value: one binary search per entity.
using Entry = std::pair<long, int16_t>;

std::array<Entry, 255> sorted_palette() {
  std::array<Entry, 255> entries{};
  for (int16_t n = 1; n <= 255; ++n) entries[static_cast<std::size_t>(n - 1)] = {static_cast<long>(color_palette[static_cast<std::size_t>(n)]), n};
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
  return entries;
}

}  // namespace

int16_t palette_number(long value) {
  static const std::array<Entry, 255> entries = sorted_palette();
  const auto at = std::lower_bound(entries.begin(), entries.end(), value,
                                   [](const Entry& e, long v) { return e.first < v; });
  return at != entries.end() && at->first == value ? at->second : 0;
}
