// The common property block every entity record carries after its kind code,
// and the step that gives a new drawable its colour and layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernel/zirida.h"
#include "format/blob_body.h"
#include "format/record_layout.h"
#include "format/record_reader.h"

struct EntityPropsFields {
  uint16_t flags = 0;
  int16_t layer = 0;
  int16_t linetype = -1;
  uint32_t values[2] = {};  // kept, not interpreted
  double reals[2] = {};     // kept, not interpreted
  int16_t color = -1;
  int16_t value16 = 0;      // kept, not interpreted
  double extrusion[3] = {};
};

struct EntityProps : EntityPropsFields {
  // What the tail of bits 7 to 11 held; nothing receives it. Set only when
  // those bits are (a record's reset leaves them), so read through these.
  uint32_t xdata_items_ = 0;
  uint32_t blobs_ = 0;
  bool tail_values_ = false;  // a real of bits 8 and 9 or the 16-bit value of bit 10 other than zero
  uint32_t xdata_items() const { return (flags & 0x0080) != 0 ? xdata_items_ : 0; }
  uint32_t blobs() const { return (flags & 0x0800) != 0 ? blobs_ : 0; }
  bool tail_values() const { return (flags & 0x0700) != 0 && tail_values_; }
  // Every field to its default, but the tail's, which its flag bits guard.
  void reset() { static_cast<EntityPropsFields&>(*this) = EntityPropsFields{}; }
};

namespace entity_props_detail {

// The fields up to the 16-bit value: their sizes the flags alone fix, so
// they are taken with one bounds check. Layer, line type, the two values,
// the two reals, colour, the 16-bit value.
using FixedPart = RecordLayout<LayoutField<0x0001, int16_t>, LayoutField<0x0002, int16_t>, LayoutField<0, uint32_t>,
                               LayoutField<0, uint32_t>, LayoutField<0x0004, double>, LayoutField<0x0008, double>,
                               LayoutField<0x0010, int16_t>, LayoutField<0x0020, int16_t>>;

// The fixed part's fields from its bytes, with the special line type and
// colour numbers mapped. Always inlined: with `present` a constant the
// layout folds to direct loads.
[[gnu::always_inline]] inline void take_fixed_part(RecordView fixed, EntityProps& p, uint32_t present) {
  FixedPart::read(fixed, present, p.layer, p.linetype, p.values[0], p.values[1], p.reals[0], p.reals[1], p.color,
                  p.value16);
  if (p.linetype == -2) p.linetype = 32766;  // the defaults are neither
  if (p.color == 256) p.color = -1;
}

// The fixed part, read with one bounds check.
[[gnu::always_inline]] inline bool read_fixed_part(RecordReader& r, EntityProps& p, uint32_t present) {
  const RecordView fixed = r.record(FixedPart::size(present));
  if (!r.ok()) return false;
  take_fixed_part(fixed, p, present);
  return true;
}

// Every block the inline cases below leave, behind its flags.
bool read_other_props(RecordReader& r, EntityProps& p, uint16_t flags);
// The fields behind the fixed part (extrusion, xdata, blobs...), each
// present by its own flag.
bool read_optional_tail(RecordReader& r, EntityProps& p, uint16_t flags);

}  // namespace entity_props_detail

// Reads one common property block into props (every field set, absent ones
// to their defaults). False when the data ends inside it. The blocks most
// records carry are read inline: nothing but the two values (vertices,
// attributes) and layer + colour (most drawables).
inline bool read_entity_props(RecordReader& r, EntityProps& p) {
  p.reset();
  const uint16_t flags = p.flags = r.u16();
  if (flags == 0x0011) return entity_props_detail::read_fixed_part(r, p, 0x0011);
  if (flags == 0x0000) return entity_props_detail::read_fixed_part(r, p, 0x0000);
  return entity_props_detail::read_other_props(r, p, flags);
}

// A record's kind code and its property block, as i16() then
// read_entity_props() read them. Most records start with the kind, the flags
// and the layer + colour fixed part: when those 16 bytes are in the buffer
// they are taken with one bounds check (and the optional fields behind them
// read as usual); any other start is read field by field.
[[gnu::always_inline]] inline bool read_kind_and_props(RecordReader& r, EntityProps& p, int16_t& kind) {
  constexpr uint32_t kCommon = 0x0011;
  constexpr std::size_t kHead = 4 + entity_props_detail::FixedPart::size(kCommon);
  if (const unsigned char* head = r.peek(kHead)) [[likely]] {
    uint16_t flags;
    std::memcpy(&flags, head + 2, sizeof flags);
    if ((flags & 0x003F) == kCommon) [[likely]] {
      std::memcpy(&kind, head, sizeof kind);
      p.reset();
      p.flags = flags;
      entity_props_detail::take_fixed_part(RecordView(head + 4, kHead - 4), p, kCommon);
      r.pass_peeked(kHead);
      return flags == kCommon || entity_props_detail::read_optional_tail(r, p, flags);
    }
  }
  kind = r.i16();
  return read_entity_props(r, p);
}

// Passes over one common property block whose fields nothing uses (those of
// vertices and attributes): the fixed part, which most such blocks are, in
// one step. False when the data ends inside it.
inline bool skip_entity_props(RecordReader& r) {
  const uint16_t flags = r.u16();
  if ((flags & 0xFFC0) == 0) return r.skip(entity_props_detail::FixedPart::size(flags));
  EntityProps unused;
  return entity_props_detail::read_other_props(r, unused, flags);
}


// The host colour value of the record: the kernel's, for (color, layer).
inline long entity_color(const EntityProps& props) { return api_kt_get_color_byindex(props.color, props.layer); }

// Gives a created drawable its colour value and layer number. Inline: every
// drawable of the stream passes here.
inline void apply_entity_props(KT_Drawable* drawable, const EntityProps& props) {
  api_set_drawable_prop(drawable, entity_color(props), 0, props.layer);
}

// The general mirroring test: extrusion z exactly -1.0.
inline bool is_mirrored(const EntityProps& props) { return props.extrusion[2] == -1.0; }
