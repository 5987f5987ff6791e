// The legacy loader on a whole file in memory.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include <vector>

#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "legacy/legacy_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FreshDrawing d;
  const int mode = size % 2 == 0 ? -1 : 0;
  LossLedger ledger;
  std::vector<kttrv::Diagnostic> reports;
  LoadContext context;
  context.diagnostics.list = &reports;
  context.ledger = &ledger;
  load_legacy_buffer(mode, data, size, d.drawing, context);
  return 0;
}
