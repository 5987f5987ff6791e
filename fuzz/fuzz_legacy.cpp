// The legacy loader on a whole file in memory.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "legacy/legacy_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FreshDrawing d;
  const int mode = size % 2 == 0 ? -1 : 0;
  load_legacy_buffer(mode, data, size, d.drawing);
  return 0;
}
