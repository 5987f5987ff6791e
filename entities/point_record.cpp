// Kind 1: x, y and 16 bytes passed over (32 bytes).
#include "entities/entity_kinds.h"

void read_point_record(EntityContext& c) {
  const unsigned char* p = c.r.take(32);
  if (p == nullptr) return;

  // Points are never mirrored.
  const double at[3] = {RecordReader::field_at<double>(p, 0), RecordReader::field_at<double>(p, 8), 0.0};
  KT_Drawable* point = nullptr;
  api_kt_create_point(point, at);
  if (point) apply_entity_props(point, c.props);
}
