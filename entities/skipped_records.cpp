// Kinds 17, 26, 29, 43, 45 and 100: records that create nothing; each is
// passed over exactly so that the next record starts at the right byte.
#include "entities/entity_kinds.h"

namespace {

// A counted string when its presence field is non-zero.
void skip_string_if(RecordReader& r, int32_t present) {
  if (present != 0) r.counted_view();
}

// 240 bytes, a count, that many counted strings (2 bytes each at least).
void skip_string_list(RecordReader& r) {
  r.skip(240);
  const uint32_t count = r.u32();
  if (!r.expect_items(count, 2)) return;
  for (uint32_t i = 0; i < count && r.ok(); ++i) r.counted_view();
}

// 100 bytes with presence fields at 92 and 96.
void skip_two_string_record(RecordReader& r) {
  r.skip(92);
  const int32_t a = r.i32();
  const int32_t b = r.i32();
  skip_string_if(r, a);
  skip_string_if(r, b);
}

// 58 bytes: presence field at 40, byte count at 46, presence field at 54.
void skip_string_bytes_record(RecordReader& r) {
  r.skip(40);
  const int32_t a = r.i32();
  r.skip(2);
  const int32_t n = r.i32();
  r.skip(4);
  const int32_t b = r.i32();
  skip_string_if(r, a);
  if (n > 0) r.skip(static_cast<uint64_t>(n));
  skip_string_if(r, b);
}

// 136 bytes: a count of 16-byte items at 104 and a byte count at 112.
void skip_item_record(RecordReader& r) {
  r.skip(104);
  const int32_t items = r.i32();
  r.skip(4);
  const int32_t bytes = r.i32();
  r.skip(20);
  if (items > 0) r.skip(16 * static_cast<uint64_t>(items));
  if (bytes > 0) r.skip(static_cast<uint64_t>(bytes));
}

}  // namespace

void read_skipped_record(EntityContext& c, int16_t kind) {
  RecordReader& r = c.r;
  switch (kind) {
    case 17: r.skip(98); break;
    case 26: skip_string_list(r); break;
    case 29: skip_two_string_record(r); break;
    case 43: skip_string_bytes_record(r); break;
    case 45: skip_item_record(r); break;
    case 100: skip_blob_body(r); break;
    default: break;
  }
}
