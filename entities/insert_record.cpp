// Kind 23: a block placed by name, optionally followed by a run of attribute
// records that nothing in the drawing receives.
#include "entities/entity_kinds.h"
#include "format/angles.h"
#include "format/record_layout.h"

namespace {

// Behind the block name: x and y scale, the z scale and one more real,
// rotation, two 16-bit values and two reals, each present by a bit of the mask.
using InsertTail = RecordLayout<LayoutField<0x4, double>, LayoutField<0x8, double>, LayoutField<0x10, double>,
                                LayoutField<0x10, double>, LayoutField<0x20, double>, LayoutField<0x40, int16_t>,
                                LayoutField<0x80, int16_t>, LayoutField<0x100, double>, LayoutField<0x200, double>>;

// An attribute record is at least a bare property block and its 102 bytes.
constexpr uint64_t kSmallestAttribute = 10 + 102;

// The attribute run: a count, then per record a property block, 102 bytes
// with three presence fields (at 32, 36 and 68), and a counted string for
// each non-zero one. Everything is passed over; a ledger hears of the
// records and their strings that hold characters.
void skip_attributes(EntityContext& c) {
  RecordReader& r = c.r;
  const uint32_t count = r.u32();
  if (!r.expect_items(count, kSmallestAttribute)) return;
  uint64_t strings = 0;
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    skip_entity_props(r);
    const auto rec = r.record<102>();
    for (int32_t present : {rec.get<int32_t, 32>(), rec.get<int32_t, 36>(), rec.get<int32_t, 68>()})
      if (present != 0) strings += !r.counted_view().empty();
  }
  if (c.ledger && r.ok()) {
    c.lose(Loss::attribute_record, count);
    c.lose(Loss::attribute_string, strings);
  }
}

}  // namespace

void read_insert_record(EntityContext& c) {
  RecordReader& r = c.r;
  const auto head = r.record<28>();  // the mask, x, y and the stored z, which is not passed
  const auto mask = static_cast<uint32_t>(head.get<int32_t, 0>());
  double point[3] = {head.get<double, 4>(), head.get<double, 12>(), 0.0};
  const int16_t value0 = (mask & 0x1) ? r.i16() : 0;  // not passed
  const char* block_name = (mask & 0x2) ? c.string(0) : "";
  double x_scale = 1.0;
  double y_scale = 1.0;
  double rotation = 0.0;
  const RecordView tail = r.record(InsertTail::size(mask));
  if (!r.ok()) return;
  // Not passed: the z scale, one more real, two 16-bit values and two reals.
  double z_scale = 1.0, more = 0.0, real8 = 0.0, real9 = 0.0;
  int16_t value6 = 1, value7 = 1;
  InsertTail::read(tail, mask, x_scale, y_scale, z_scale, more, rotation, value6, value7, real8, real9);
  if (c.ledger) [[unlikely]] {
    if (head.holds<20, 28>()) c.lose(Loss::flat_z);
    if (value0 != 0 || !same_value(z_scale, 1.0) || holds_value(more) || value6 != 1 || value7 != 1 ||
        holds_value(real8) || holds_value(real9))
      c.lose(Loss::insert_field);
  }

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
  if (mask & 0x400) skip_attributes(c);
}
