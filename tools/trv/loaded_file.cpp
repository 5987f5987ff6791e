#include "tools/trv/loaded_file.h"

#include "entities/kind_table.h"

namespace trv {

std::unique_ptr<LoadedFile> load_file(const std::string& path, bool note_losses, Carry carry) {
  auto f = std::make_unique<LoadedFile>();
  f->path = path;
  LoadRequest request;
  request.count_records = true;
  request.note_losses = note_losses;
  request.quiet_error = true;
  request.carry = carry == Carry::kept;
  CarriedCounter counter;
  if (carry == Carry::counted) request.observer = &counter;
  if (carry == Carry::picture) {
    f->picture = std::make_unique<PictureCarrier>();
    request.observer = f->picture.get();
  }
  kttrv::LoadResult result = load_drawing(path, *f->drawing, request);
  if (carry == Carry::counted) f->carried_counts = counter.counts;
  f->file = std::move(result.file);
  f->loaded = result.loaded;
  f->stats = result.tally;
  f->losses = std::move(result.losses);
  if (f->loaded) f->damage = damage_lines(result);
  else f->failure = load_failure(path, result);
  return f;
}

const char* record_kind_name(int kind) { return entity_kind_name(kind); }

}  // namespace trv
