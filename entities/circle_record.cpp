// Kind 3: centre x, y, z and radius (32 bytes).
#include "entities/entity_kinds.h"

void read_circle_record(EntityContext& c) {
  const unsigned char* p = c.r.take(32);
  if (p == nullptr) return;

  double x = RecordReader::field_at<double>(p, 0);
  const double y = RecordReader::field_at<double>(p, 8);
  const double radius = RecordReader::field_at<double>(p, 24);
  if (is_mirrored(c.props)) x = -x;
  if (KT_Drawable* circle = api_kt_create_circle(x, y, radius)) apply_entity_props(circle, c.props);
}
