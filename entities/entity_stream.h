// The entity stream: a run of entity records, read once for the model space
// and once for each block that has entities.
#pragma once

#include <cstdint>

#include "format/tag_file.h"
#include "format/export.h"

// Reads record_count records from the position and creates their drawables.
// block_index is -1 for the model space. Always returns 1.
KTTRV_EXPORT int LoadTORVEntities(tagFile* file, char mode_flag, int block_index,
                                  unsigned long record_count, int base_blocks, int base_layers,
                                  int base_text_styles, int base_line_types);

// The same stream; true when all records were read, false when the end of
// the data cut the stream short (callers then stop their own section).
bool read_entity_stream(tagFile* file, int block_index, unsigned long record_count);
