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
#include "host/zirida_host.h"
#include "save/drawing_writer.h"
#include "tests/support/drawing_image.h"

namespace {

std::vector<unsigned char> saved_bytes(const KT_Drawing& drawing, SaveReport& report,
                                       const KT_Carried* carried = nullptr) {
  std::vector<unsigned char> out;
  TorvWriter w;
  w.memory = &out;
  w.carried = carried;
  if (!write_drawing(w, drawing, report)) std::abort();  // memory output never fails
  return out;
}

// With the stand-in kernel keeping what the file holds: the same drawing as
// without, a saved file that carries the same content back (its save gives
// the same bytes) and, but for a legacy file's layers, the same drawing.
void check_carried(const uint8_t* data, std::size_t size, int mode, const KT_Drawing& plain) {
  fuzz::FreshDrawing carried;
  const kttrv::LoadResult first = fuzz::load(data, size, mode, carried.drawing, zirida_carry(carried.drawing));
  if (!first.loaded) std::abort();
  std::string where;
  if (!image::same_drawing(image::of(plain), image::of(carried.drawing), where)) {
    std::fprintf(stderr, "carrying changed the drawing: %s\n", where.c_str());
    std::abort();
  }
  SaveReport report;
  const std::vector<unsigned char> saved = saved_bytes(carried.drawing, report, zirida_carried(carried.drawing));
  fuzz::FreshDrawing back;
  if (!fuzz::load(saved.data(), saved.size(), -1, back.drawing, zirida_carry(back.drawing)).loaded) std::abort();
  // A legacy file's layers reach the saved file's layer table, where its
  // load made none: that drawing has them as layers.
  if (!first.file.legacy && !image::same_drawing(image::of(carried.drawing), image::of(back.drawing), where)) {
    std::fprintf(stderr, "carried save loads as another drawing: %s\n", where.c_str());
    std::abort();
  }
  SaveReport again;
  if (saved_bytes(back.drawing, again, zirida_carried(back.drawing)) != saved) {
    std::fprintf(stderr, "the carried content of the saved file writes other bytes\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FreshDrawing original;
  const int mode = size % 2 == 0 ? -1 : 0;
  if (!fuzz::load(data, size, mode, original.drawing).loaded) return 0;
  check_carried(data, size, mode, original.drawing);
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
