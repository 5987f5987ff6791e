// Kind 18: a fixed 230-byte record and up to three counted strings, carried
// to the kernel as they stand (no mirroring).
#include <cstddef>

#include "entities/entity_kinds.h"

void read_dimension_record(EntityContext& c) {
  RecordReader& r = c.r;
  const auto rec = r.record<230>();
  double points[6][3];  // the points at 36, 60, 84, 108, 132, 156; the one at 12 is not passed
  for (std::size_t i = 0; i < 6; ++i)
    for (std::size_t j = 0; j < 3; ++j) points[i][j] = rec.at<double>(36 + 24 * i + 8 * j);
  double reals[6];
  for (std::size_t i = 0; i < 6; ++i) reals[i] = rec.at<double>(180 + 8 * i);
  const int value = rec.get<int16_t, 228>();
  // Behind the record: string 2, string 3, string 1, each when announced.
  const char* s2 = rec.get<int32_t, 4>() != 0 ? c.string(1) : "";
  const char* s3 = rec.get<int32_t, 8>() != 0 ? c.string(2) : "";
  const char* s1 = rec.get<int32_t, 0>() != 0 ? c.string(0) : "";
  if (!r.ok()) return;
  // The point at 12 is not passed; the writer stores the one at 84 there.
  if (c.ledger && !rec.same_bytes<12, 84, 24>()) [[unlikely]] c.lose(Loss::dimension_point);

  // The point at 84 goes first and again fourth.
  KT_Drawable* dimension =
      api_kt_create_dimension(s1, s2, s3, points[2], points[0], points[1], points[2], points[3], points[4],
                              points[5], reals[0], reals[1], reals[2], reals[3], reals[4], reals[5], value);
  if (dimension != nullptr) apply_entity_props(dimension, c.props);
}
