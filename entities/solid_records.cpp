// Kinds 5 and 6: four corners, x, y, z each (96 bytes); the z values are not
// used. Kind 6 becomes a solid; kind 5 has the same layout and creates nothing.
#include "entities/entity_kinds.h"

void read_corner_record(EntityContext& c) { c.r.skip(96); }

void read_solid_record(EntityContext& c) {
  const auto rec = c.r.record<96>();
  if (!c.r.ok()) return;
  if (c.ledger && (rec.holds<16, 24>() || rec.holds<40, 48>() || rec.holds<64, 72>() || rec.holds<88, 96>()))
      [[unlikely]]
    c.lose(Loss::flat_z);

  double corners[4][3] = {{rec.get<double, 0>(), rec.get<double, 8>(), 0.0},
                          {rec.get<double, 24>(), rec.get<double, 32>(), 0.0},
                          {rec.get<double, 48>(), rec.get<double, 56>(), 0.0},
                          {rec.get<double, 72>(), rec.get<double, 80>(), 0.0}};

  if (is_mirrored(c.props))
    for (double* corner : corners) corner[0] = -corner[0];
  // The kernel takes the corners in the order 1, 2, 4, 3.
  KT_Drawable* solid = nullptr;
  api_kt_create_solid(solid, corners[0], corners[1], corners[3], corners[2], 4);
  if (solid) apply_entity_props(solid, c.props);
}
