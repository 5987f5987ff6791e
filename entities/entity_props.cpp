#include "entities/entity_props.h"

#include "format/record_layout.h"

namespace {

// The fields up to the 16-bit value: their sizes the flags alone fix, so
// they are taken with one bounds check. Layer, line type, the two values,
// the two reals, colour, the 16-bit value.
using FixedPart = RecordLayout<LayoutField<0x0001, int16_t>, LayoutField<0x0002, int16_t>, LayoutField<0, uint32_t>,
                               LayoutField<0, uint32_t>, LayoutField<0x0004, double>, LayoutField<0x0008, double>,
                               LayoutField<0x0010, int16_t>, LayoutField<0x0020, int16_t>>;

// Xdata values by group code: strings, points, reals, int16, int32; every
// other code carries nothing. Returns false when the data ends first.
bool skip_xdata_value(RecordReader& r, int16_t code) {
  if (code >= 1000 && code <= 1005) return r.counted_view(), r.ok();
  if (code >= 1010 && code <= 1013) return r.skip(24);
  if (code >= 1040 && code <= 1042) return r.skip(8);
  if (code == 1070) return r.skip(2);
  if (code == 1071) return r.skip(4);
  return true;
}

bool skip_xdata(RecordReader& r) {
  const uint32_t count = r.u32();
  if (!r.expect_items(count, 2)) return false;  // every item holds at least its code
  for (uint32_t i = 0; i < count && r.ok(); ++i) skip_xdata_value(r, r.i16());
  return r.ok();
}

bool skip_blobs(RecordReader& r) {
  const uint32_t count = r.u32();
  if (!r.expect_items(count, 36)) return false;  // 12 + 24 bytes at least
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    r.skip(12);
    skip_blob_body(r);
  }
  return r.ok();
}

}  // namespace

bool skip_blob_body(RecordReader& r) {
  r.skip(4);
  const uint32_t size1 = r.u32();
  const uint32_t size2 = r.u32();
  const uint32_t has1 = r.u32();
  const uint32_t has2 = r.u32();
  const uint32_t has3 = r.u32();
  if (has1) r.skip(size1);
  if (has2) r.skip(size2);
  if (has3) r.skip(r.u32());
  return r.ok();
}

namespace {

// The fields up to the 16-bit value, with the special line type and colour
// numbers mapped. Always inlined: with `present` a constant the layout folds
// to one record of a known size and direct loads.
[[gnu::always_inline]] inline bool read_fixed_part(RecordReader& r, EntityProps& p, uint32_t present) {
  const RecordView fixed = r.record(FixedPart::size(present));
  if (!r.ok()) return false;
  FixedPart::read(fixed, present, p.layer, p.linetype, p.values[0], p.values[1], p.reals[0], p.reals[1], p.color,
                  p.value16);
  if (p.linetype == -2) p.linetype = 32766;
  if (p.color == 256) p.color = -1;
  return true;
}

// The general case, out of line so that the common one needs no saved
// registers: the fixed part under any flags.
[[gnu::noinline]] bool read_any_fixed_part(RecordReader& r, EntityProps& p, uint32_t present) {
  return read_fixed_part(r, p, present);
}

// The fields behind the fixed part, each present by its own flag.
[[gnu::noinline]] bool read_optional_tail(RecordReader& r, EntityProps& p, uint16_t flags) {
  if (flags & 0x0040) {
    for (double& component : p.extrusion)
      if (r.u8() != 0) component = r.f64();
  }
  if (flags & 0x0080) skip_xdata(r);
  if (flags & 0x0100) r.skip(8);
  if (flags & 0x0200) r.skip(8);
  if (flags & 0x0400) r.skip(2);
  if (flags & 0x0800) skip_blobs(r);
  return r.ok();
}

}  // namespace

bool read_entity_props(RecordReader& r, EntityProps& p) {
  p = EntityProps{};
  const uint16_t flags = p.flags = r.u16();
  // The fixed parts most records carry get a case of their own, where the
  // layout folds to one record of a known size: nothing but the two values
  // (vertices, attributes) and layer + colour (most drawables).
  const uint32_t fixed_flags = flags & 0x003F;
  const bool fixed_ok = fixed_flags == 0x0011   ? read_fixed_part(r, p, 0x0011)
                        : fixed_flags == 0x0000 ? read_fixed_part(r, p, 0x0000)
                                                : read_any_fixed_part(r, p, fixed_flags);
  if (!fixed_ok) return false;
  return (flags & 0xFFC0) == 0 || read_optional_tail(r, p, flags);
}
