#include "save/palette_numbers.h"

#include <array>
#include <cstddef>

#include "format/color_palette.h"

namespace {

// Colour value -> lowest number, in an open-addressed table built once: one
// or two probes per entity.
constexpr std::size_t kSlots = 1024;

struct Slot {
  long value = -1;  // -1: empty (colour values are 24-bit)
  int16_t number = 0;
};

constexpr std::size_t slot_of(long value) {
  const auto v = static_cast<uint32_t>(value);
  return ((v * 2654435761u) >> 22) & (kSlots - 1);
}

constexpr std::array<Slot, kSlots> build_table() {
  std::array<Slot, kSlots> table{};
  for (int16_t n = 1; n <= 255; ++n) {
    const long value = static_cast<long>(color_palette[static_cast<std::size_t>(n)]);
    std::size_t at = slot_of(value);
    while (table[at].value != -1 && table[at].value != value) at = (at + 1) & (kSlots - 1);
    if (table[at].value == -1) table[at] = {value, n};  // a lower number came first
  }
  return table;
}

constexpr std::array<Slot, kSlots> kTable = build_table();

}  // namespace

int16_t palette_number(long value) {
  if (value < 0 || value > 0xFFFFFF) return 0;
  for (std::size_t at = slot_of(value);; at = (at + 1) & (kSlots - 1)) {
    if (kTable[at].value == value) return kTable[at].number;
    if (kTable[at].value == -1) return 0;
  }
}
