// A file loaded for trv info, check and render: the drawing, what the entity
// streams did with their records, and what stopped early.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kernel/zirida.h"
#include "format/load_stats.h"
#include "format/loss_ledger.h"
#include "load/load.h"
#include "tools/trv/cli_support.h"

namespace trv {

struct LoadedFile {
  std::string path;
  kttrv::FileIdentity file;  // what the file says it is, as the load found it
  bool loaded = false;
  std::string failure;               // why it did not load
  std::vector<std::string> damage;   // one line per section that stopped early
  LoadStats stats;
  LossLedger losses;  // what the load read and did not keep
  std::unique_ptr<KT_Drawing> drawing = std::make_unique<KT_Drawing>();

  // Loaded, nothing stopped early and no record left unread.
  bool complete() const { return loaded && damage.empty() && stats.not_reached == 0; }
};

// Loads path with the system variables (mode -1). Prints the damage warnings
// (unless quiet) but not the failure, which the caller reports its own way.
// With note_losses, what the load reads and does not keep is counted in
// `losses` (trv info); the load is cheaper without (trv check, render).
// carry: keep what the file holds beside the drawing (for what shows it).
std::unique_ptr<LoadedFile> load_file(const std::string& path, bool note_losses = false, bool carry = true);

// The name of an entity record kind, as trv info gives it (the drawables'
// kinds have theirs in view/kind_names.h).
const char* record_kind_name(int kind);

}  // namespace trv
