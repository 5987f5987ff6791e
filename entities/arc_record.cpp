// Kind 4: centre x, y, z, radius, start and end angle in degrees (48 bytes).
#include "format/angles.h"
#include "entities/entity_kinds.h"

void read_arc_record(EntityContext& c) {
  const auto rec = c.r.record<48>();
  if (!c.r.ok()) return;
  if (c.ledger && rec.holds<16, 24>()) [[unlikely]] c.lose(Loss::flat_z);

  double x = rec.get<double, 0>();
  const double y = rec.get<double, 8>();
  const double radius = rec.get<double, 24>();
  double start = rec.get<double, 32>();
  double end = rec.get<double, 40>();

  if (is_mirrored(c.props)) {
    // Reflecting across the y axis turns the arc around: the old end becomes
    // the new start.
    x = -x;
    const double reflected_start = 180.0 - end;
    end = 180.0 - start;
    start = reflected_start;
  }
  const double centre[3] = {x, y, 0.0};
  KT_Drawable* arc =
      api_kt_create_arc(centre, radius, degrees_to_radians(start), degrees_to_radians(end));
  if (arc) apply_entity_props(arc, c.props);
}
