#include "entities/entity_props.h"

namespace {

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

bool skip_xdata(RecordReader& r, uint32_t& items) {
  const uint32_t count = items = r.u32();
  if (!r.expect_items(count, 2)) return false;  // every item holds at least its code
  for (uint32_t i = 0; i < count && r.ok(); ++i) skip_xdata_value(r, r.i16());
  return r.ok();
}

bool skip_blobs(RecordReader& r, uint32_t& blobs) {
  const uint32_t count = blobs = r.u32();
  if (!r.expect_items(count, 36)) return false;  // 12 + 24 bytes at least
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    r.skip(12);
    skip_blob_body(r);
  }
  return r.ok();
}

}  // namespace

bool entity_props_detail::read_optional_tail(RecordReader& r, EntityProps& p, uint16_t flags) {
  if (flags & 0x0040) {
    for (double& component : p.extrusion)
      if (r.u8() != 0) component = r.f64();
  }
  if (flags & 0x0080) skip_xdata(r, p.xdata_items_);
  p.tail_values_ = false;
  if (flags & 0x0100) p.tail_values_ |= r.u64() != 0;
  if (flags & 0x0200) p.tail_values_ |= r.u64() != 0;
  if (flags & 0x0400) p.tail_values_ |= r.i16() != 0;
  if (flags & 0x0800) skip_blobs(r, p.blobs_);
  return r.ok();
}

bool entity_props_detail::read_other_props(RecordReader& r, EntityProps& p, uint16_t flags) {
  // Layer + colour is the common fixed part in front of xdata too: a case of
  // its own folds to one record of a known size.
  const uint32_t fixed_flags = flags & 0x003F;
  const bool fixed_ok =
      fixed_flags == 0x0011 ? read_fixed_part(r, p, 0x0011) : read_fixed_part(r, p, fixed_flags);
  return fixed_ok && read_optional_tail(r, p, flags);
}
