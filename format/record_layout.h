// The layout of a record whose fields are present or absent by flags, written
// once: the size the flags give (for the one bounds check) and the walk that
// reads the present fields in order come from the same list of fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "format/record_reader.h"

// A field of type T, present when Flag is set in the record's flags (a Flag
// of 0: always present).
template <uint32_t Flag, class T>
struct LayoutField {
  static constexpr uint32_t flag = Flag;
  using type = T;
};

// Where a field that is read but not kept goes.
struct Unused {};

template <class... Fields>
class RecordLayout {
  static constexpr uint32_t kAllFlags = (Fields::flag | ...);
  static_assert(kAllFlags < 1024, "the size table has one entry per combination of flags");

  static constexpr std::size_t size_of(uint32_t flags) {
    return (((Fields::flag == 0 || (flags & Fields::flag) != 0) ? sizeof(typename Fields::type) : 0) + ...);
  }
  static constexpr auto kSizes = [] {
    std::array<uint16_t, kAllFlags + 1> sizes{};
    for (uint32_t flags = 0; flags <= kAllFlags; ++flags) sizes[flags] = static_cast<uint16_t>(size_of(flags));
    return sizes;
  }();

  template <class F, class D>
  static void read_field(RecordView& view, uint32_t flags, D& dst) {
    if constexpr (F::flag != 0) {
      if ((flags & F::flag) == 0) return;
    }
    if constexpr (std::is_same_v<D, Unused>) view.pass(sizeof(typename F::type));
    else dst = view.template next<typename F::type>();
  }

 public:
  // The bytes the fields present under `flags` take.
  static constexpr std::size_t size(uint32_t flags) { return kSizes[flags & kAllFlags]; }

  // Reads the present fields of a view of size(flags) bytes into dst, one
  // destination per field in the same order (Unused for those not kept);
  // absent fields leave theirs as they were.
  template <class... Dst>
  static void read(RecordView view, uint32_t flags, Dst&... dst) {
    static_assert(sizeof...(Dst) == sizeof...(Fields), "one destination per field");
    (read_field<Fields>(view, flags, dst), ...);
  }
};
