// Kind 1: x, y and 16 bytes passed over (32 bytes).
#include "entities/entity_kinds.h"

void read_point_record(EntityContext& c) {
  const auto rec = c.r.record<32>();
  if (!c.r.ok()) return;
  if (c.ledger) [[unlikely]] {
    if (rec.holds<16, 24>()) c.lose(Loss::flat_z);
    if (rec.holds<24, 32>()) c.lose(Loss::point_field);
  }

  // Points are never mirrored.
  const double at[3] = {rec.get<double, 0>(), rec.get<double, 8>(), 0.0};
  KT_Drawable* point = nullptr;
  api_kt_create_point(point, at);
  if (point) apply_entity_props(point, c.props);
}
