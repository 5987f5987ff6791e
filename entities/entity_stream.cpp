#include "entities/entity_stream.h"

bool read_entity_stream(tagFile* /*file*/, int /*block_index*/, unsigned long /*record_count*/) {
  return true;
}

int LoadTORVEntities(tagFile* file, char /*mode_flag*/, int block_index, unsigned long record_count,
                     int /*base_blocks*/, int /*base_layers*/, int /*base_text_styles*/,
                     int /*base_line_types*/) {
  read_entity_stream(file, block_index, record_count);
  return 1;
}
