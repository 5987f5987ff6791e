// Drawings of the legacy generation ("Torv 1.0", "Torv 1.5").
#pragma once

#include <cstddef>

#include "kernel/zirida.h"

// Loads a whole legacy file held in memory: checks the fixed part, walks the
// system-variable table when mode is -1, reads the layer table (creating
// nothing), then appends one default line type, text style and block per
// record of those tables, in that order. Nonzero for success; 0 at the first
// record (or fixed block) the file cannot hold, keeping what was appended.
struct LoadContext;

// The legacy file in data, read with the load's context.
int load_legacy_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing,
                       const LoadContext& context);
