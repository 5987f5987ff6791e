// The entity stream: a run of entity records, read once for the model space
// and once for each block that has entities.
#pragma once

#include <cstdint>

#include "format/record_reader.h"
#include "kernel/zirida.h"

// The same stream; true when all records were read, false when the end of
// the data cut the stream short (callers then stop their own section).
// drawing: where the kernel creates (the current drawing), for the tally and
// the ledger to see what a record created; may be null when neither counts.
bool read_entity_stream(tagFile* file, int block_index, unsigned long record_count, const KT_Drawing* drawing);
// The same inside a section read by `section`: the stream reads the rest of
// it, and its failure fails `section` too.
bool read_entity_stream(RecordReader& section, int block_index, unsigned long record_count,
                        const KT_Drawing* drawing);
