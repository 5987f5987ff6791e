// What one load hands every reader beside the bytes: where diagnostics go,
// the file's generation, the record tally, the loss ledger and the
// system-variable list. It travels with the shared stream (tagFile::context),
// so no reader reads or writes anything process-wide.
#pragma once

#include <cstdint>
#include <vector>

#include "format/diagnostics.h"
#include "format/load_observer.h"
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
  kttrv::LoadObserver* observer = nullptr;  // null: nothing reported beside the kernel calls
  // For an observer: the file has a system-variable section, a list walked
  // it to its end, and that end was the section's.
  bool sysvars_held = false;
  bool sysvars_walked = false;
  bool sysvars_whole = false;
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

// A record's place, its bytes to be added by report_stored.
inline kttrv::StoredRecord stored_record(kttrv::StoredKind kind, const char* section, int slot, uint32_t index = 0,
                                         const void* object = nullptr) {
  kttrv::StoredRecord r;
  r.kind = kind;
  r.section = section;
  r.slot = slot;
  r.index = index;
  r.object = object;
  return r;
}

// Hands record (its bytes those of the file from `from` up to `to`) to the
// load's observer. Only a reader that saw `observing(f)` calls it.
// record is the caller's, reused from record to record (its bytes are set).
void report_stored(const tagFile* f, kttrv::StoredRecord& record, int64_t from, int64_t to);
inline void report_stored(const tagFile* f, kttrv::StoredRecord&& record, int64_t from, int64_t to) {
  report_stored(f, record, from, to);
}
inline kttrv::LoadObserver* observing(const tagFile* f) { return load_context(f).observer; }
