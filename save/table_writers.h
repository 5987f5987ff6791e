// The table sections of a written file, each written right behind its tag.
// Only the layer and text style tables carry the drawing's own entries; the
// others are fixed or hold a count.
#pragma once

#include <cstdint>

#include "kernel/zirida.h"
#include "save/torv_writer.h"

// One default viewport "*ACTIVE": always 239 bytes.
void write_viewport_table(TorvWriter& w);
// "CONTINUOUS" when the drawing has no line types of its own (only the
// kernel's unnamed defaults, or none); nothing at all otherwise.
void write_line_type_table(TorvWriter& w, const KT_Drawing& drawing);
// The drawing's text styles as 56-byte records, or one "STANDARD".
void write_text_style_table(TorvWriter& w, const KT_Drawing& drawing);
// The drawing's layers as 12-byte records, or one layer "0".
void write_layer_table(TorvWriter& w, const KT_Drawing& drawing);
// A count only: the number of text styles.
void write_view_table(TorvWriter& w, const KT_Drawing& drawing);
// A count only: 0.
void write_ucs_table(TorvWriter& w);
// A count only: the number of blocks.
void write_block_table(TorvWriter& w, const KT_Drawing& drawing);

// The colour number a layer record stores for the layer: the lowest palette
// number (1..255) of its colour value, 7 when the palette has none,
// negative when the layer is off.
int16_t layer_colour_number(const KT_Layer& layer);

// A collection's count as a table stores it.
int32_t table_count(const KT_Collection& collection);
