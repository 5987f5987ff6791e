// One entity stream on raw bytes: the first 4 bytes are the record count and
// the next one says whether it is a block's stream.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kttrv/kttrv.h"
#include "entities/entity_stream.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  uint32_t count = 0;
  std::memcpy(&count, data, 4);
  const int block_index = data[4] & 1 ? 1 : -1;
  fuzz::FreshDrawing d;
  tagFile f{data + 5, static_cast<int32_t>(size - 5), 0};
  LoadTORVEntities(&f, 0, block_index, count, 0, 0, 0, 0);
  return 0;
}
