// The block-definition section: per record a block, its own entity stream,
// and the close of the block.
#pragma once

#include <cstdint>

#include "kernel/collections.h"
#include "format/tag_file.h"

int read_block_section(tagFile* f, int32_t position, char mode_flag, const BaseCounts& base,
                       KT_Drawing& drawing);
