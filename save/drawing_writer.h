// The whole "HALD 2002" file of a drawing, written through a TorvWriter.
#pragma once

#include "kernel/zirida.h"
#include "save/save_report.h"
#include "save/torv_writer.h"

// The header record: the loader reads its first 88 bytes.
inline constexpr int kWrittenHeaderSize = 336;

// Writes the header with every section position -1, every section behind
// its tag, and the header again with the positions. What was written and
// what the file cannot carry go to report. The result is w.ok.
bool write_drawing(TorvWriter& w, const KT_Drawing& drawing, SaveReport& report);
inline bool write_drawing(TorvWriter& w, const KT_Drawing& drawing) {
  SaveReport report;
  return write_drawing(w, drawing, report);
}
