// Load, save, load, compare: whatever drawing a file gives, saving it and
// loading the saved file gives the same drawing (when the save reports no
// loss), and saving that again gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "format/loss_ledger.h"
#include "save/drawing_writer.h"
#include "tests/support/drawing_image.h"

namespace {

std::vector<unsigned char> saved_bytes(const KT_Drawing& drawing, SaveReport& report) {
  std::vector<unsigned char> out;
  TorvWriter w;
  w.memory = &out;
  if (!write_drawing(w, drawing, report)) std::abort();  // memory output never fails
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FreshDrawing original;
  const int mode = size % 2 == 0 ? -1 : 0;
  if (!fuzz::load(data, size, mode, original.drawing).loaded) return 0;
  SaveReport report;
  const std::vector<unsigned char> saved = saved_bytes(original.drawing, report);
  // A file the writer wrote holds nothing the loader drops.
  fuzz::FreshDrawing reloaded;
  const kttrv::LoadResult again_loaded = fuzz::load(saved.data(), saved.size(), -1, reloaded.drawing);
  if (!again_loaded.loaded) std::abort();
  const LossLedger& dropped = again_loaded.losses;
  if (report.lossless() && !dropped.empty()) {
    std::fprintf(stderr, "a saved file loses: %s\n", dropped.summary().c_str());
    std::abort();
  }
  if (!report.lossless()) return 0;  // named losses: the rest is checked by the tests
  std::string where;
  if (!image::same_drawing(image::of(original.drawing), image::of(reloaded.drawing), where)) {
    std::fprintf(stderr, "saved drawing differs: %s\n", where.c_str());
    std::abort();
  }
  SaveReport again;
  if (saved_bytes(reloaded.drawing, again) != saved) {
    std::fprintf(stderr, "saving the saved drawing gives other bytes\n");
    std::abort();
  }
  return 0;
}
