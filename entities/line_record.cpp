// Kind 2: start and end, x, y, z each (48 bytes); the z values are not used.
#include "entities/entity_kinds.h"

void read_line_record(EntityContext& c) {
  const auto rec = c.r.record<48>();
  if (!c.r.ok()) return;
  if (c.ledger && (rec.holds<16, 24>() || rec.holds<40, 48>())) [[unlikely]] c.lose(Loss::flat_z);

  // Lines are never mirrored.
  // x and y copied as one 16-byte block each, as the kernel reads them.
  double start[3];
  double end[3];
  rec.copy<double, 0, 2>(start);
  rec.copy<double, 24, 2>(end);
  start[2] = end[2] = 0.0;
  KT_Drawable* line = nullptr;
  api_kt_create_line(line, start, end);
  if (line) apply_entity_props(line, c.props);
}
