#include "entities/entity_stream.h"

#include "entities/entity_kinds.h"
#include "format/diagnostics.h"

namespace {

void read_payload(EntityContext& c, int16_t kind) {
  switch (kind) {
    case 1: read_point_record(c); break;
    case 2: read_line_record(c); break;
    case 3: read_circle_record(c); break;
    case 4: read_arc_record(c); break;
    case 5: read_corner_record(c); break;
    case 6: read_solid_record(c); break;
    case 7: read_text_record(c); break;
    case 8: read_named_record(c); break;
    case 11: read_four_string_text(c); break;
    case 13: read_polyline_record(c); break;
    case 18: read_dimension_record(c); break;
    case 23: read_insert_record(c); break;
    case 28: read_vertex_chain_record(c); break;
    case 17:
    case 26:
    case 29:
    case 43:
    case 45:
    case 100: read_skipped_record(c, kind); break;
    default: break;  // unknown kinds have no payload
  }
}

}  // namespace

bool read_entity_stream(tagFile* file, int block_index, unsigned long record_count) {
  EntityContext c(file, block_index);
  for (unsigned long i = 0; i < record_count; ++i) {
    const int32_t start = c.r.offset();
    const int16_t kind = c.r.i16();
    if (read_entity_props(c.r, c.props)) read_payload(c, kind);
    if (!c.r.ok()) {
      report_diagnostic("entities", start, "record %lu of %lu (kind %d) cut short by the end of the data",
                        i, record_count, kind);
      return false;
    }
  }
  return true;
}

int LoadTORVEntities(tagFile* file, char /*mode_flag*/, int block_index, unsigned long record_count,
                     int /*base_blocks*/, int /*base_layers*/, int /*base_text_styles*/,
                     int /*base_line_types*/) {
  read_entity_stream(file, block_index, record_count);
  return 1;
}
