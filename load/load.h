// The load as one call that says what happened: the file's identity, typed
// diagnostics, the record tally and what the load read and did not keep.
// LoadTORVDocument is this call with the module's diagnostic sink and list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "format/diagnostics.h"
#include "format/load_observer.h"
#include "format/load_stats.h"
#include "format/loss_ledger.h"
#include "kernel/zirida.h"
#include "tables/sysvar_list.h"

namespace kttrv {

// Where a load reads: a file by its path (UTF-8), or bytes in memory that
// stay valid during the call.
struct LoadSource {
  std::string path;
  std::span<const unsigned char> data;
  bool in_memory = false;

  static LoadSource file(std::string path) { return {std::move(path), {}, false}; }
  static LoadSource bytes(std::span<const unsigned char> data) { return {{}, data, true}; }
};

// What a file says it is, worked out from its first bytes.
struct FileIdentity {
  bool legacy = false;   // a "Torv 1.x" file (its first byte is 'T')
  std::string version;   // the version text as stored: up to 20 bytes (legacy) or 14, to the first zero
  // Whether a zero ends the version text inside its field (in the bytes the
  // file holds); false when the text fills the field or the file ends in it.
  bool version_terminated = false;
  // 3, 6, 9 or 11: a current-generation version the loader reads; 2: the
  // refused "SELK 24.05.95"; -1: none (legacy files, unknown or cut headers).
  int generation = -1;
  std::uint64_t size = 0;  // bytes
  // Whether the loader reads this version (a refused or unknown one is
  // refused from the header alone).
  bool readable = false;
};

// From the first bytes of a file (up to its 88-byte header) and its size.
FileIdentity identify_file(std::span<const unsigned char> head, std::uint64_t size);

struct LoadOptions {
  int mode = -1;  // -1: the system-variable section is walked too
  // The system-variable list; null: the module's (KtTrvSetSysVarListPath,
  // else the installed one), read again only when its file changed.
  const SysVarList* sysvar_list = nullptr;
  bool count_records = false;  // fill LoadResult::tally
  bool note_losses = false;    // fill LoadResult::losses (a little slower)
  bool collect_diagnostics = true;
  // Called with each diagnostic as it is made (a host that shows them while
  // the load goes on); null: none.
  DiagnosticCallback on_diagnostic = nullptr;
  void* on_diagnostic_context = nullptr;
  // A file is held in memory this many bytes at a time (legacy files whole).
  std::size_t window_bytes = std::size_t{4} << 20;
  // Hears of every stored record and section beside the kernel calls
  // (format/load_observer.h); null: the load reports nothing more.
  LoadObserver* observer = nullptr;
};

struct LoadResult {
  bool loaded = false;
  FileIdentity file;
  std::vector<Diagnostic> diagnostics;  // in the order they were made
  LoadStats tally;                      // with count_records
  LossLedger losses;                    // with note_losses
  // Why it did not load: what keeps the file from being opened or read, else
  // the last diagnostic's text, else that it is no drawing this version
  // loads. Empty after a load.
  std::string failure;

  bool damaged() const {
    for (const Diagnostic& d : diagnostics)
      if (d.severity == Severity::damage) return true;
    return false;
  }
  // Loaded, nothing stopped early and no record left unread (known only
  // with collect_diagnostics and count_records).
  bool complete() const { return loaded && !damaged() && tally.not_reached == 0; }
};

// Loads the source into drawing, which becomes the kernel's current drawing
// for the call (and is made current again after it as it was before).
// Calls are serialised with every other entry point of the plug-in.
LoadResult load_drawing(const LoadSource& source, KT_Drawing& drawing, const LoadOptions& options = {});

}  // namespace kttrv
