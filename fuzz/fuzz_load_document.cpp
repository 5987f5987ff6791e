// The whole document load (load_drawing) from a memory buffer, either
// generation, with the tally and the ledger on as trv info and trv save use it.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FreshDrawing d;
  // Even bytes load with mode -1 (system variables walked), odd with mode 0.
  const int mode = size % 2 == 0 ? -1 : 0;
  fuzz::load(data, size, mode, d.drawing);
  return 0;
}
