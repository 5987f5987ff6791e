// Loading a TORV file into a host drawing.
#pragma once

#include <cstddef>

#include "kttrv/kttrv.h"  // the exported entry points
#include "format/diagnostics.h"

// The load from a file already in memory (size bytes at data), after the
// system-variable list was read.
bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing);

// The load from the file at path, read a window of window_bytes at a time
// (legacy files whole), after the system-variable list was read.
// LoadTORVDocument ends here.
bool load_torv_file(int mode, const char* path, KT_Drawing& drawing, std::size_t window_bytes);
