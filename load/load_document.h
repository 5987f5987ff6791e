// The load behind the entry points and load_drawing (load.h).
#pragma once

#include <cstddef>

#include "format/diagnostics.h"
#include "kttrv/kttrv.h"  // the exported entry points
#include "kernel/zirida.h"
#include "load/load.h"

namespace kttrv {

// load_drawing without the entry lock (the caller holds it); each
// diagnostic's text also goes to `sink` when it is set, and the generation to
// *announce_generation as soon as the header names it.
LoadResult load_drawing_locked(const LoadSource& source, KT_Drawing& drawing, const LoadOptions& options,
                               KtTrvDiagnosticSink sink = nullptr, void* sink_context = nullptr,
                               int* announce_generation = nullptr);

}  // namespace kttrv

// Whether LoadTORVDocument notes, while a diagnostic sink listens, what a
// load does not keep, for a later api_kt_save_trv of the drawing to tell (on
// by default). A host that never saves through api_kt_save_trv turns it off
// and loads at full speed.
void set_losses_kept_for_exported_save(bool on);

// The diagnostic sink our entry points report to (KtTrvSetDiagnosticSink).
DiagnosticOutput installed_diagnostic_sink();

// A file already in memory, loaded with the module's list as it stands and
// diagnostics to the installed sink (tests, fuzzers).
bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing);

// The file at path read a window of window_bytes at a time (legacy files
// whole), with the module's list as it stands.
bool load_torv_file(int mode, const char* path, KT_Drawing& drawing, std::size_t window_bytes);
