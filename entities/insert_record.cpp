// Kind 23: a block placed by name, optionally followed by a run of attribute
// records that nothing in the drawing receives.
#include "entities/entity_kinds.h"
#include "format/angles.h"

namespace {

// An attribute record is at least a bare property block and its 102 bytes.
constexpr uint64_t kSmallestAttribute = 10 + 102;

// The attribute run: a count, then per record a property block, 102 bytes
// with three presence fields (at 32, 36 and 68), and a counted string for
// each non-zero one. Everything is passed over.
void skip_attributes(RecordReader& r) {
  const uint32_t count = r.u32();
  if (!r.expect_items(count, kSmallestAttribute)) return;
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    skip_entity_props(r);
    r.skip(32);
    const int32_t first = r.i32();
    const int32_t second = r.i32();
    r.skip(28);
    const int32_t third = r.i32();
    r.skip(30);
    for (int32_t present : {first, second, third})
      if (present != 0) r.counted_view();
  }
}

}  // namespace

void read_insert_record(EntityContext& c) {
  RecordReader& r = c.r;
  const int32_t mask = r.i32();
  double point[3] = {r.f64(), r.f64(), 0.0};
  r.skip(8);  // the stored z is not passed
  if (mask & 0x1) r.skip(2);
  const char* block_name = (mask & 0x2) ? c.string(0) : "";
  double x_scale = (mask & 0x4) ? r.f64() : 1.0;
  const double y_scale = (mask & 0x8) ? r.f64() : 1.0;
  if (mask & 0x10) r.skip(16);  // z scale and one more real, neither passed
  double rotation = (mask & 0x20) ? r.f64() : 0.0;
  if (mask & 0x40) r.skip(2);
  if (mask & 0x80) r.skip(2);
  if (mask & 0x100) r.skip(8);
  if (mask & 0x200) r.skip(8);
  if (!r.ok()) return;

  // Inserts mirror only on an extrusion of exactly (0, 0, -1).
  const double* e = c.props.extrusion;
  if (e[0] == 0.0 && e[1] == 0.0 && e[2] == -1.0) {
    point[0] = -point[0];
    x_scale = -x_scale;
    rotation = 360.0 - rotation;
  }
  const double radians = degrees_to_radians(rotation);

  KT_Drawable* insert = nullptr;
  api_kt_create_insert(insert, point, x_scale, y_scale, 1.0, radians, block_name);
  if (insert != nullptr) apply_entity_props(insert, c.props);
  // Attributes make no kernel call, so they are passed over after the insert
  // is created: a run cut short by the end of the data still ends the stream,
  // but the insert stays.
  if (mask & 0x400) skip_attributes(r);
}
