// What the entity streams of a load did with their records, for hosts that
// want to tell (trv info, trv check). Nothing is counted unless the load
// asks for a tally; the load itself never depends on it.
#pragma once

#include <cstdint>

struct EntityRecordTally {
  uint64_t read = 0;         // records whose kind code was read
  uint64_t created = 0;      // ... that created a drawable (even when cut short after it)
  uint64_t passed_over = 0;  // ... read whole that create nothing by design
  uint64_t cut = 0;          // ... cut short by the end of the data before creating anything
};

struct LoadStats {
  // Kind codes 0 to 127 by their code; every other code in the last entry.
  static constexpr int kKinds = 129;
  EntityRecordTally by_kind[kKinds];
  // Records a stream announced but never reached because an earlier one was
  // cut short.
  uint64_t not_reached = 0;

  static int slot(int16_t kind) { return kind >= 0 && kind < kKinds - 1 ? kind : kKinds - 1; }
};
