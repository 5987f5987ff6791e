// Kind 3: centre x, y, z and radius (32 bytes).
#include "entities/entity_kinds.h"

void read_circle_record(EntityContext& c) {
  const auto rec = c.r.record<32>();
  if (!c.r.ok()) return;
  if (c.ledger && rec.holds<16, 24>()) [[unlikely]] c.lose(Loss::flat_z);

  double x = rec.get<double, 0>();
  const double y = rec.get<double, 8>();
  const double radius = rec.get<double, 24>();
  if (is_mirrored(c.props)) x = -x;
  if (KT_Drawable* circle = api_kt_create_circle(x, y, radius)) apply_entity_props(circle, c.props);
}
