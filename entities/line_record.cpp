// Kind 2: start and end, x, y, z each (48 bytes); the z values are not used.
#include "entities/entity_kinds.h"

void read_line_record(EntityContext& c) {
  const auto rec = c.r.record<48>();
  if (!c.r.ok()) return;

  // Lines are never mirrored.
  const double start[3] = {rec.get<double, 0>(), rec.get<double, 8>(), 0.0};
  const double end[3] = {rec.get<double, 24>(), rec.get<double, 32>(), 0.0};
  KT_Drawable* line = nullptr;
  api_kt_create_line(line, start, end);
  if (line) apply_entity_props(line, c.props);
}
