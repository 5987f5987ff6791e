// Loading a TORV file into a host drawing.
#pragma once

#include <cstddef>

#include "kttrv/kttrv.h"  // the exported entry points
#include "format/diagnostics.h"

// The load from a file already in memory (size bytes at data), after the
// system-variable list was read. LoadTORVDocument ends here.
bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing);
