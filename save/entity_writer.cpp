#include "save/entity_writer.h"

#include <cstdint>
#include <limits>

#include "save/entity_records.h"
#include "save/write_primitives.h"

namespace {

// Texts that only kind 11 can carry are not created inside a block.
bool loader_creates(const KT_Drawable& d, bool model_space) {
  if (model_space || d.kind != KT_Drawable_Kind::text) return true;
  return text_has_visible_char(static_cast<const KT_Text_Entity&>(d).text);
}

void write_record(TorvWriter& w, const KT_Drawable& d, SaveReport& report) {
  switch (d.kind) {
    case KT_Drawable_Kind::point: return write_point(w, static_cast<const KT_Point_Entity&>(d), report);
    case KT_Drawable_Kind::line: return write_line(w, static_cast<const KT_Line_Entity&>(d), report);
    case KT_Drawable_Kind::solid: return write_solid(w, static_cast<const KT_Solid_Entity&>(d), report);
    case KT_Drawable_Kind::circle: return write_circle(w, static_cast<const KT_Circle_Entity&>(d), report);
    case KT_Drawable_Kind::arc: return write_arc(w, static_cast<const KT_Arc_Entity&>(d), report);
    case KT_Drawable_Kind::text: return write_text(w, static_cast<const KT_Text_Entity&>(d), report);
    case KT_Drawable_Kind::insert: return write_insert(w, static_cast<const KT_Insert_Entity&>(d), report);
    case KT_Drawable_Kind::dimension:
      return write_dimension(w, static_cast<const KT_Dimension_Entity&>(d), report);
    case KT_Drawable_Kind::polyline: return write_polyline(w, static_cast<const KT_Vertex_Entity&>(d), report);
    case KT_Drawable_Kind::point_set:
      return write_point_set(w, static_cast<const KT_Vertex_Entity&>(d), report);
  }
}

}  // namespace

void write_entity_stream(TorvWriter& w, const KT_Entity_List& list, bool model_space, SaveReport& report) {
  uint32_t count = 0;
  for (const KT_Drawable* d = list.first; d != nullptr; d = d->next)
    if (loader_creates(*d, model_space) && count < std::numeric_limits<uint32_t>::max()) ++count;
  write_int32(w, static_cast<int32_t>(count));
  uint32_t written = 0;
  for (const KT_Drawable* d = list.first; d != nullptr && w.ok; d = d->next) {
    if (!loader_creates(*d, model_space) || written == count) {
      report.lose(Loss::hidden_text);
      continue;
    }
    write_record(w, *d, report);
    ++written;
  }
  report.entities += written;
}
