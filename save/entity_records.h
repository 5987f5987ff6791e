// One writer per drawable kind: the record's kind code, its common property
// block and its payload. The stream writer decides which drawables go out.
#pragma once

#include "kernel/kt_drawables.h"
#include "save/save_report.h"
#include "save/torv_writer.h"

// The colour value of the layer of that number (its place in the layer
// collection); -1 when there is none or no drawing is given.
long layer_color(const KT_Drawing* drawing, long number);

// The common property block: flags (layer and colour present), the layer
// number, the two 32-bit values, the colour number. `bare` writes flags 0:
// for records whose drawable never receives properties.
void write_entity_head(TorvWriter& w, int16_t kind, const KT_Drawable& d, bool bare, SaveReport& report);

void write_point(TorvWriter& w, const KT_Point_Entity& e, SaveReport& report);
void write_line(TorvWriter& w, const KT_Line_Entity& e, SaveReport& report);
void write_circle(TorvWriter& w, const KT_Circle_Entity& e, SaveReport& report);
void write_arc(TorvWriter& w, const KT_Arc_Entity& e, SaveReport& report);
void write_solid(TorvWriter& w, const KT_Solid_Entity& e, SaveReport& report);
void write_text(TorvWriter& w, const KT_Text_Entity& e, SaveReport& report);
void write_insert(TorvWriter& w, const KT_Insert_Entity& e, SaveReport& report);
void write_dimension(TorvWriter& w, const KT_Dimension_Entity& e, SaveReport& report);
void write_polyline(TorvWriter& w, const KT_Vertex_Entity& e, SaveReport& report);
void write_point_set(TorvWriter& w, const KT_Vertex_Entity& e, SaveReport& report);

// Kind 7 creates a text only when it holds a character other than a space;
// any other text needs kind 11, which blocks do not take.
bool text_has_visible_char(const char* text);
