// The whole document load from a memory buffer, either generation.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "format/loss_ledger.h"
#include "load/load_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FreshDrawing d;
  // Even bytes load with mode -1 (system variables walked), odd with mode 0.
  const int mode = size % 2 == 0 ? -1 : 0;
  // What the readers drop is noted as trv info and trv save note it.
  LossLedger ledger;
  set_loss_ledger(&ledger);
  load_torv_buffer(mode, data, size, d.drawing);
  set_loss_ledger(nullptr);
  return 0;
}
