// A blob's body behind its 12 leading bytes: a 24-byte header (a value,
// size1, size2, has1, has2, has3), then size1 bytes when has1, size2 bytes
// when has2, and a uint32 length with that many bytes when has3. The
// property block's blob list and kind 100 records have this layout.
#pragma once

#include <cstdint>

#include "format/record_reader.h"

// Passes over one body; false when the data ends inside it.
inline bool skip_blob_body(RecordReader& r) {
  r.skip(4);
  const uint32_t size1 = r.u32();
  const uint32_t size2 = r.u32();
  const uint32_t has1 = r.u32();
  const uint32_t has2 = r.u32();
  const uint32_t has3 = r.u32();
  if (has1) r.skip(size1);
  if (has2) r.skip(size2);
  if (has3) r.skip(r.u32());
  return r.ok();
}
