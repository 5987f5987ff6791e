// Drawings of the legacy generation ("Torv 1.0", "Torv 1.5").
#pragma once

#include <cstddef>

#include "kernel/zirida.h"

// Loads a whole legacy file held in memory; nonzero for success.
int load_legacy_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing);
