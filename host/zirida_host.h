// What our own host (the CLI, tests, benchmarks) can ask of the stand-in
// kernel beyond the plug-in's operations: tracing and refusals.
#pragma once

#include <cstddef>
#include <string_view>

#include "format/load_observer.h"
#include "kernel/kt_carried.h"
#include "kernel/zirida.h"

// The creation operations a test can make yield nothing.
enum class KT_Op {
  create_layer, create_text_style, create_dim_style, create_block, create_point,
  create_line, create_solid, create_circle, create_arc, create_text, create_insert,
  create_dimension, create_polyline, create_lines, count_
};

// Makes `op` create nothing (true) or work again (false).
void zirida_refuse(KT_Op op, bool refuse);
void zirida_refuse_none();

// Receives one finished trace line (no line end). Tracing is off while null.
using ZiRidaTraceWriter = void (*)(std::string_view line, void* context);
void zirida_set_trace(ZiRidaTraceWriter writer, void* context);

// Where AfxMessageBox sends its text; null restores the default (stderr).
using AfxMessageSink = void (*)(const char* text, void* context);
void afx_set_message_sink(AfxMessageSink sink, void* context);

// The colour value of a colour number for entities: 1..255 through the
// colour table, -1 (by layer) through the layer of that number (0-based, in
// the drawing's layer order), anything else colour 7.
long zirida_color_value(const KT_Drawing& drawing, short color, short layer);

// The bytes the drawing's storage holds from the system (its arena).
std::size_t zirida_reserved_bytes(const KT_Drawing& drawing);

// What the stand-in kernel keeps of the files loaded into a drawing: hand
// zirida_carry(drawing) to a load as its observer, and zirida_carried(drawing)
// to a save. zirida_carried is null while no load carried into the drawing.
kttrv::LoadObserver* zirida_carry(KT_Drawing& drawing);
const KT_Carried* zirida_carried(const KT_Drawing& drawing);
// Where a record zirida_carried(drawing) holds starts in the file it was
// loaded from; -1 when not known.
long long zirida_file_offset(const KT_Drawing& drawing, const KT_Stored& stored);
