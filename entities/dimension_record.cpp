// Kind 18: a fixed 230-byte record and up to three counted strings, carried
// to the kernel as they stand (no mirroring).
#include "entities/entity_kinds.h"

void read_dimension_record(EntityContext& c) {
  RecordReader& r = c.r;
  int32_t present[3];
  for (int32_t& p : present) p = r.i32();
  r.skip(24);                      // the point at 12 is not passed
  double points[6][3] = {};        // the points at 36, 60, 84, 108, 132, 156
  r.bytes(points, sizeof points);
  double reals[6] = {};
  r.bytes(reals, sizeof reals);
  const int value = r.i16();
  // Behind the record: string 2, string 3, string 1, each when announced.
  const char* s2 = present[1] != 0 ? c.string(1) : "";
  const char* s3 = present[2] != 0 ? c.string(2) : "";
  const char* s1 = present[0] != 0 ? c.string(0) : "";
  if (!r.ok()) return;

  // The point at 84 goes first and again fourth.
  KT_Drawable* dimension =
      api_kt_create_dimension(s1, s2, s3, points[2], points[0], points[1], points[2], points[3], points[4],
                              points[5], reals[0], reals[1], reals[2], reals[3], reals[4], reals[5], value);
  if (dimension != nullptr) apply_entity_props(dimension, c.props);
}
