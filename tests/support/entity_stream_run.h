// Test support: runs the entity stream directly over a byte buffer and says
// how far it got, so record sizes can be checked byte for byte.
#pragma once

#include <cstdint>

#include "entities/entity_stream.h"
#include "tests/support/bytes.h"

struct StreamRun {
  bool complete = false;  // every record was read
  int32_t position = 0;   // where the stream stopped
};

inline StreamRun run_stream(const Bytes& records, unsigned long count, int block_index = -1) {
  tagFile f;
  f.buffer = records.data().data();
  f.length = static_cast<int32_t>(records.size());
  StreamRun run;
  run.complete = read_entity_stream(&f, block_index, count, g_current_drawing);
  run.position = f.position;
  return run;
}

// A record of a kind that has no payload: kind code and a bare property
// block, 12 bytes. Put behind a record, it shows the stream stayed in step.
inline Bytes unknown_record() { return Bytes().i16(9).u16(0).u32(0).u32(0); }
