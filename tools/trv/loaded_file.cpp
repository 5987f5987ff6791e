#include "tools/trv/loaded_file.h"

#include "entities/kind_table.h"

namespace trv {

std::unique_ptr<LoadedFile> load_file(const std::string& path, bool note_losses) {
  auto f = std::make_unique<LoadedFile>();
  f->path = path;
  LoadRequest request;
  request.count_records = true;
  request.note_losses = note_losses;
  request.quiet_error = true;
  kttrv::LoadResult result = load_drawing(path, *f->drawing, request);
  f->size = static_cast<std::size_t>(result.file.size);
  f->version = {bytes_to_utf8(result.file.version.c_str()), result.file.legacy};
  f->generation = result.file.legacy ? -1 : result.file.generation;
  f->loaded = result.loaded;
  f->stats = result.tally;
  f->losses = std::move(result.losses);
  if (f->loaded) f->damage = damage_lines(result);
  else f->failure = load_failure(path, result);
  return f;
}

const char* drawable_kind_name(KT_Drawable_Kind kind) {
  switch (kind) {
    case KT_Drawable_Kind::point: return "point";
    case KT_Drawable_Kind::line: return "line";
    case KT_Drawable_Kind::solid: return "solid";
    case KT_Drawable_Kind::circle: return "circle";
    case KT_Drawable_Kind::arc: return "arc";
    case KT_Drawable_Kind::text: return "text";
    case KT_Drawable_Kind::insert: return "insert";
    case KT_Drawable_Kind::dimension: return "dimension";
    case KT_Drawable_Kind::polyline: return "polyline";
    case KT_Drawable_Kind::point_set: return "point_set";
  }
  return "unknown";
}

const char* record_kind_name(int kind) { return entity_kind_name(kind); }

}  // namespace trv
