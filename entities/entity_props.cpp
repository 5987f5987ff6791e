#include "entities/entity_props.h"

bool read_entity_props(RecordReader& r, EntityProps& props) {
  props = EntityProps{};
  props.flags = r.u16();
  return r.ok();
}

long entity_color(const EntityProps& props) { return api_kt_get_color_byindex(props.color, props.layer); }

void apply_entity_props(KT_Drawable* drawable, const EntityProps& props) {
  api_set_drawable_prop(drawable, entity_color(props), 0, props.layer);
}
