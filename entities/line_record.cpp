// Kind 2: start and end, x, y, z each (48 bytes); the z values are not used.
#include "entities/entity_kinds.h"

void read_line_record(EntityContext& c) {
  const unsigned char* p = c.r.take(48);
  if (p == nullptr) return;

  // Lines are never mirrored.
  const double start[3] = {RecordReader::field_at<double>(p, 0), RecordReader::field_at<double>(p, 8), 0.0};
  const double end[3] = {RecordReader::field_at<double>(p, 24), RecordReader::field_at<double>(p, 32), 0.0};
  KT_Drawable* line = nullptr;
  api_kt_create_line(line, start, end);
  if (line) apply_entity_props(line, c.props);
}
