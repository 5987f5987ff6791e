#include "tools/trv/loaded_file.h"

#include "entities/kind_table.h"

namespace trv {

std::unique_ptr<LoadedFile> load_file(const std::string& path, bool note_losses, bool carry) {
  auto f = std::make_unique<LoadedFile>();
  f->path = path;
  LoadRequest request;
  request.count_records = true;
  request.note_losses = note_losses;
  request.quiet_error = true;
  request.carry = carry;
  kttrv::LoadResult result = load_drawing(path, *f->drawing, request);
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
