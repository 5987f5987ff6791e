// The bytes of a current-generation file that no reader reads: the header
// beyond its version and directory, the tables the loader passes by, and what
// follows the entity section. Where they hold other than what a save writes
// in their place, the ledger hears of it.
#pragma once

#include <cstdint>

#include "format/loss_ledger.h"
#include "format/tag_file.h"
#include "format/torv_header.h"
#include "kernel/zirida.h"

#include <vector>

// Where a section that was read to its end stops.
struct SectionEnd {
  int64_t at;
  const char* section;
  int slot = 0;  // its directory slot
};

// entities_end: the byte behind the model space's last record, or -1 when
// the entity section was not read to its end; ends: the other sections read
// to their end, behind which nothing but the next section's tag may follow;
// fresh: the drawing held no text styles or blocks before the load.
void note_unread_bytes(tagFile& f, const TorvHeader& header, const KT_Drawing& drawing, int64_t entities_end,
                       const std::vector<SectionEnd>& ends, bool fresh, LossLedger& ledger);

// Hands the load's observer the runs of bytes no record reader reports: the
// header up to the first section, the sections no reader reads, the system
// variables (whole; `sysvars_end` is where their walk ended, -1 when it did
// not end), what lies behind each section read to its end, and what follows
// the model space's records. Each run stops in front of the tags a writer
// puts before the next section. True when the system variables were walked
// to exactly their section's end.
bool report_unread_runs(tagFile& f, const TorvHeader& header, int64_t sysvars_end, int64_t entities_end,
                        const std::vector<SectionEnd>& ends);
