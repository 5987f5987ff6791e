// A file loaded for trv info, check and render: the drawing, what the entity
// streams did with their records, and what stopped early.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kernel/zirida.h"
#include "format/load_stats.h"
#include "format/loss_ledger.h"
#include "load/load.h"
#include "tools/trv/carried_counts.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/picture_carrier.h"

namespace trv {

// What a load does with the records it reads beyond the kernel's calls.
enum class Carry {
  none,     // nothing (trv check)
  counted,  // counts them (trv info's summary: carried_counts)
  picture,  // keeps the colour numbers and the inserts' records (trv render: picture)
  kept,     // keeps them with the drawing (what draws or dumps them)
};

struct LoadedFile {
  std::string path;
  kttrv::FileIdentity file;  // what the file says it is, as the load found it
  bool loaded = false;
  std::string failure;               // why it did not load
  std::vector<std::string> damage;   // one line per section that stopped early
  LoadStats stats;
  LossLedger losses;  // what the load read and did not keep
  std::unique_ptr<KT_Drawing> drawing = std::make_unique<KT_Drawing>();
  std::optional<CarriedCounts> carried_counts;  // Carry::counted
  std::unique_ptr<PictureCarrier> picture;     // Carry::picture

  // Loaded, nothing stopped early and no record left unread.
  bool complete() const { return loaded && damage.empty() && stats.not_reached == 0; }
};

// Loads path with the system variables (mode -1). Prints the damage warnings
// (unless quiet) but not the failure, which the caller reports its own way.
// With note_losses, what the load reads and does not keep is counted in
// `losses` (trv info); the load is cheaper without (trv check, render).
// carry: what becomes of what the file holds beside the drawing.
std::unique_ptr<LoadedFile> load_file(const std::string& path, bool note_losses = false, Carry carry = Carry::kept);

// The name of an entity record kind, as trv info gives it (the drawables'
// kinds have theirs in view/kind_names.h).
const char* record_kind_name(int kind);

}  // namespace trv
