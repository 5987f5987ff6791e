// Kind 3: centre x, y, z and radius (32 bytes).
#include "entities/entity_kinds.h"

void read_circle_record(EntityContext& c) {
  double x = c.r.f64();
  const double y = c.r.f64();
  c.r.skip(8);
  const double radius = c.r.f64();
  if (!c.r.ok()) return;

  if (is_mirrored(c.props)) x = -x;
  if (KT_Drawable* circle = api_kt_create_circle(x, y, radius)) apply_entity_props(circle, c.props);
}
