// The common property block every entity record carries after its kind code,
// and the step that gives a new drawable its colour and layer.
#pragma once

#include <cstdint>

#include "kernel/zirida.h"
#include "format/record_reader.h"

struct EntityProps {
  uint16_t flags = 0;
  int16_t layer = 0;
  int16_t linetype = -1;
  uint32_t values[2] = {};  // kept, not interpreted
  double reals[2] = {};     // kept, not interpreted
  int16_t color = -1;
  int16_t value16 = 0;      // kept, not interpreted
  double extrusion[3] = {};
};

// Reads one common property block into props (every field set, absent ones
// to their defaults). False when the data ends inside it.
bool read_entity_props(RecordReader& r, EntityProps& props);

// Passes over the 24-byte blob header (a value, size1, size2, has1, has2,
// has3) and the bytes it announces. Kind 100 records have the same layout.
bool skip_blob_body(RecordReader& r);

// The host colour value of the record: the kernel's, for (color, layer).
inline long entity_color(const EntityProps& props) { return api_kt_get_color_byindex(props.color, props.layer); }

// Gives a created drawable its colour value and layer number. Inline: every
// drawable of the stream passes here.
inline void apply_entity_props(KT_Drawable* drawable, const EntityProps& props) {
  api_set_drawable_prop(drawable, entity_color(props), 0, props.layer);
}

// The general mirroring test: extrusion z exactly -1.0.
inline bool is_mirrored(const EntityProps& props) { return props.extrusion[2] == -1.0; }
