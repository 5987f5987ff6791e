// Kind 2: start and end, x, y, z each (48 bytes); the z values are not used.
#include "entities/entity_kinds.h"

void read_line_record(EntityContext& c) {
  const double sx = c.r.f64();
  const double sy = c.r.f64();
  c.r.skip(8);
  const double ex = c.r.f64();
  const double ey = c.r.f64();
  c.r.skip(8);
  if (!c.r.ok()) return;

  // Lines are never mirrored.
  const double start[3] = {sx, sy, 0.0};
  const double end[3] = {ex, ey, 0.0};
  KT_Drawable* line = nullptr;
  api_kt_create_line(line, start, end);
  if (line) apply_entity_props(line, c.props);
}
