// What a save wrote, what the file could not carry, and why a save failed.
#pragma once

#include <string>

#include "format/loss_ledger.h"  // Loss, LossLedger

struct SaveReport {
  long entities = 0;  // entity records written, blocks' included
  long blocks = 0;
  long layers = 0;
  long text_styles = 0;
  long dim_styles = 0;
  // What the file will not give back: what the drawing's loads dropped
  // (SaveOptions::file_losses) and what the writer cannot store.
  LossLedger losses;
  std::string error;  // why the save failed; empty after success
  // Saves to a file: what was removed that interrupted saves of the
  // destination had left, and how many other hard links the replaced file
  // had (they keep its old content).
  long leftovers_removed = 0;
  long other_links = 0;
  // Handed to SaveOptions::group, whose commit() says whether it was saved
  // (a destination that is a device or a pipe is written at once, never
  // handed).
  bool waiting = false;

  void lose(Loss what) { ++losses.counts[static_cast<std::size_t>(what)]; }
  long lost(Loss what) const { return static_cast<long>(losses.count(what)); }
  bool lossless() const { return losses.empty(); }
  // "3 line types, 1 block descriptions", or empty when nothing was lost.
  std::string loss_summary() const { return losses.summary(); }
};
