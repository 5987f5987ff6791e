// What one load hands every reader beside the bytes: where diagnostics go,
// the file's generation, the record tally, the loss ledger and the
// system-variable list. It travels with the shared stream (tagFile::context),
// so no reader reads or writes anything process-wide.
#pragma once

#include <cstdint>
#include <vector>

#include "format/diagnostics.h"
#include "format/tag_file.h"

struct LoadStats;
struct LossLedger;
struct SysVarEntry;

struct LoadContext {
  DiagnosticOutput diagnostics;
  // 3, 6, 9 or 11 once the header named a version; -1 before that and for
  // legacy files.
  int generation = -1;
  LoadStats* tally = nullptr;    // null: nothing counted
  LossLedger* ledger = nullptr;  // null: nothing noted
  const std::vector<SysVarEntry>* sysvars = nullptr;  // null: no list
  // Where the driver also puts the generation the moment the header names
  // it (the entry points' exported g_trv_ver); null: nowhere.
  int* announce_generation = nullptr;
};

// The context of the load that reads f. A stream no load set up (a host's
// own, say) has the empty one: silent, counting and noting nothing.
inline const LoadContext& load_context(const tagFile* f) {
  static constexpr LoadContext kNone{};
  return f != nullptr && f->context != nullptr ? *f->context : kNone;
}

// "<section>: <what> at byte <offset>" into the load's diagnostics.
void report_diagnostic(const tagFile* f, const DiagnosticPlace& place, const char* format, ...)
    __attribute__((format(KTTRV_PRINTF_FORMAT, 3, 4)));
