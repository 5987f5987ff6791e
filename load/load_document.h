// Loading a TORV file into a host drawing.
#pragma once

#include <cstddef>

#include "kttrv/kttrv.h"  // the exported entry points
#include "format/diagnostics.h"

// The load from a file already in memory (size bytes at data), after the
// system-variable list was read.
bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing);

// Whether LoadTORVDocument notes, while a diagnostic sink listens and no
// ledger is installed, what a load does not keep, for a later
// api_kt_save_trv of the drawing to tell (on by default). A host that never
// saves through api_kt_save_trv (trv) turns it off and loads at full speed.
void set_losses_kept_for_exported_save(bool on);

// The load from the file at path, read a window of window_bytes at a time
// (legacy files whole), after the system-variable list was read.
// LoadTORVDocument ends here.
bool load_torv_file(int mode, const char* path, KT_Drawing& drawing, std::size_t window_bytes);
