// The payload layouts are the loader's: offsets and sizes as its kind
// readers take them. Fields the loader passes over are written as zeros,
// z values as held (the loader sets them to 0; a z other than 0 is a loss).
#include <cstring>
#include <limits>

#include "save/entity_records.h"
#include "save/palette_numbers.h"
#include "save/stored_reals.h"
#include "save/write_primitives.h"

namespace {

enum Kind : int16_t {
  kPoint = 1, kLine = 2, kCircle = 3, kArc = 4, kSolid = 6, kText = 7, kFourStringText = 11,
  kPolyline = 13, kDimension = 18, kInsert = 23, kVertexChain = 28,
};

constexpr uint16_t kHasLayer = 0x1;
constexpr uint16_t kHasColour = 0x10;
constexpr int16_t kBlackNumber = 7;

bool flat(double z) { return same_bits(z, 0.0); }

void write_point3(TorvWriter& w, const Ge_Pt& p) { write_pt3(w, p.x, p.y, p.z); }

// Degrees that come back as the held radians; a loss when none does.
void write_angle(TorvWriter& w, double radians, bool& lost) {
  bool exact = false;
  write_real(w, stored_degrees(radians, exact));
  lost |= !exact;
}

// A counted string; a loss when it is longer than a counted string holds.
void write_string(TorvWriter& w, const char* text, SaveReport& report) {
  if (beyond_counted_string(text)) report.lose(Loss::long_string);
  write_counted_string(w, text);
}

void note(SaveReport& report, bool lost, Loss what) {
  if (lost) report.lose(what);
}

}  // namespace

bool text_has_visible_char(const char* text) {
  if (text == nullptr) return false;
  for (; *text; ++text)
    if (*text != ' ') return true;
  return false;
}

long layer_color(const KT_Drawing* drawing, long number) {
  if (drawing == nullptr || number < 0) return -1;
  for (const KT_Object* o = drawing->layers.first; o != nullptr; o = o->next, --number)
    if (number == 0) return static_cast<const KT_Layer*>(o)->color;
  return -1;
}

void write_entity_head(TorvWriter& w, int16_t kind, const KT_Drawable& d, bool bare, SaveReport& report) {
  write_int16(w, kind);
  bool lost = d.third != 0;
  if (bare) {
    // The loader gives these drawables no properties: they keep 0, 0, 0.
    lost |= d.color != 0 || d.layer != 0;
    write_int16(w, 0);
    write_zeros(w, 8);
  } else {
    int16_t number = palette_number(d.color);
    // A drawable that holds "by layer" and its layer's colour is stored so.
    if (d.color_number == 256 && d.color == layer_color(w.drawing, d.layer)) number = 256;
    if (number == 0) {
      lost = true;
      number = kBlackNumber;
    }
    lost |= d.layer < std::numeric_limits<int16_t>::min() || d.layer > std::numeric_limits<int16_t>::max();
    write_int16(w, static_cast<int16_t>(kHasLayer | kHasColour));
    write_int16(w, static_cast<int16_t>(d.layer));
    write_zeros(w, 8);
    write_int16(w, number);
  }
  note(report, lost, Loss::entity_props);
}

// Kind 1: x, y, z, 8 bytes not read.
void write_point(TorvWriter& w, const KT_Point_Entity& e, SaveReport& report) {
  write_entity_head(w, kPoint, e, false, report);
  write_point3(w, e.at);
  write_zeros(w, 8);
  note(report, !flat(e.at.z), Loss::flat_z);
}

// Kind 2: the two ends.
void write_line(TorvWriter& w, const KT_Line_Entity& e, SaveReport& report) {
  write_entity_head(w, kLine, e, false, report);
  write_point3(w, e.start);
  write_point3(w, e.end);
  note(report, !flat(e.start.z) || !flat(e.end.z), Loss::flat_z);
}

// Kind 3: centre and radius.
void write_circle(TorvWriter& w, const KT_Circle_Entity& e, SaveReport& report) {
  write_entity_head(w, kCircle, e, false, report);
  write_point3(w, e.centre);
  write_real(w, e.radius);
  note(report, !flat(e.centre.z), Loss::flat_z);
}

// Kind 4: centre, radius, start and end angle in degrees.
void write_arc(TorvWriter& w, const KT_Arc_Entity& e, SaveReport& report) {
  write_entity_head(w, kArc, e, false, report);
  write_point3(w, e.centre);
  write_real(w, e.radius);
  bool unreachable = false;
  write_angle(w, e.start_angle, unreachable);
  write_angle(w, e.end_angle, unreachable);
  note(report, !flat(e.centre.z), Loss::flat_z);
  note(report, unreachable, Loss::unreachable_real);
}

// Kind 6: the loader hands the corners over in the order 1, 2, 4, 3, so the
// held third and fourth corners are stored fourth and third.
void write_solid(TorvWriter& w, const KT_Solid_Entity& e, SaveReport& report) {
  write_entity_head(w, kSolid, e, false, report);
  static constexpr int kStoredOrder[4] = {0, 1, 3, 2};
  bool raised = false;
  for (int held : kStoredOrder) {
    write_point3(w, e.corners[held]);
    raised |= !flat(e.corners[held].z);
  }
  note(report, raised, Loss::flat_z);
  note(report, e.count != 4, Loss::entity_shape);
}

// Kind 7 (94 bytes, then text and style) for a text with a visible
// character; kind 11 (106 bytes, then strings 2 and 4) for any other, which
// passes its text to the kernel untested, null included.
void write_text(TorvWriter& w, const KT_Text_Entity& e, SaveReport& report) {
  const bool visible = text_has_visible_char(e.text);
  write_entity_head(w, visible ? kText : kFourStringText, e, false, report);
  write_point3(w, e.at);
  write_real(w, e.height);
  bool unreachable = false;
  if (visible) {
    write_int32(w, 1);
    write_angle(w, e.rotation, unreachable);
    write_real(w, e.width_factor);
    write_zeros(w, 8);
    write_int32(w, e.style != nullptr ? 1 : 0);
    write_zeros(w, 6 + 24);
  } else {
    write_int32(w, 0);                         // string 1
    write_int32(w, 0);                         // string 3
    write_int32(w, e.text != nullptr ? 1 : 0);  // string 2: the text
    write_zeros(w, 4);
    write_angle(w, e.rotation, unreachable);
    write_real(w, e.width_factor);
    write_zeros(w, 8);
    write_int32(w, e.style != nullptr ? 1 : 0);  // string 4: the style
    write_zeros(w, 6 + 24);
  }
  if (e.text != nullptr) write_string(w, e.text, report);
  if (e.style != nullptr) write_string(w, e.style, report);
  note(report, !flat(e.at.z), Loss::flat_z);
  note(report, unreachable, Loss::unreachable_real);
}

// Kind 23 with mask 0x2E: name, x and y scale, rotation. The loader passes
// the z scale as 1.0 whatever is stored.
void write_insert(TorvWriter& w, const KT_Insert_Entity& e, SaveReport& report) {
  write_entity_head(w, kInsert, e, false, report);
  const bool named = e.block_name != nullptr;
  write_int32(w, named ? 0x2C | 0x2 : 0x2C);
  write_point3(w, e.at);
  if (named) write_string(w, e.block_name, report);
  write_real(w, e.scale[0]);
  write_real(w, e.scale[1]);
  bool unreachable = false;
  write_angle(w, e.rotation, unreachable);
  note(report, !flat(e.at.z), Loss::flat_z);
  note(report, !same_bits(e.scale[2], 1.0), Loss::entity_shape);
  note(report, !named, Loss::missing_string);
  note(report, unreachable, Loss::unreachable_real);
}

// Kind 18: the 230-byte record and strings 2, 3, 1. The loader passes the
// point at 84 first and fourth and never the point at 12.
void write_dimension(TorvWriter& w, const KT_Dimension_Entity& e, SaveReport& report) {
  write_entity_head(w, kDimension, e, false, report);
  for (const char* s : e.strings) write_int32(w, s != nullptr && *s != '\0' ? 1 : 0);
  static constexpr int kStoredPoints[7] = {0, 1, 2, 0, 4, 5, 6};  // at 12, 36, 60, 84, 108, 132, 156
  for (int held : kStoredPoints) write_point3(w, e.points[held]);
  for (double r : e.reals) write_real(w, r);
  write_int16(w, static_cast<int16_t>(e.value));
  for (int s : {1, 2, 0})
    if (e.strings[s] != nullptr && *e.strings[s] != '\0') write_string(w, e.strings[s], report);
  const Ge_Pt& first = e.points[0];
  const Ge_Pt& fourth = e.points[3];
  const bool apart = !same_bits(first.x, fourth.x) || !same_bits(first.y, fourth.y) || !same_bits(first.z, fourth.z);
  note(report, apart || e.value != static_cast<int16_t>(e.value), Loss::entity_shape);
  note(report, !e.strings[0] || !e.strings[1] || !e.strings[2], Loss::missing_string);
}

namespace {

// Kind 28 behind its head: count, chain flags (0x200: closed), a real and a
// 32-bit value not read, the extras field, then x and y of every vertex.
void write_vertex_chain(TorvWriter& w, const KT_Vertex_Entity& e, bool closed, int32_t extras,
                        SaveReport& report) {
  const long n = e.count > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : e.count;
  write_int32(w, static_cast<int32_t>(n));
  write_int16(w, closed ? 0x200 : 0);
  write_zeros(w, 8 + 4);
  write_int32(w, extras);
  bool raised = false;
  for (long i = 0; i < n; ++i) {
    write_pt2(w, e.vertices[i].x, e.vertices[i].y);
    raised |= !flat(e.vertices[i].z);
  }
  note(report, raised, Loss::flat_z);
  note(report, n != e.count, Loss::entity_shape);
}

}  // namespace

// A polyline with vertices: kind 28 with a negative extras field, which
// keeps the closed flag and receives properties. An empty one: kind 13 with
// no vertex, which the loader creates open and without properties.
void write_polyline(TorvWriter& w, const KT_Vertex_Entity& e, SaveReport& report) {
  if (e.count <= 0) {
    write_entity_head(w, kPolyline, e, true, report);
    write_zeros(w, 54);
    write_int32(w, 1);  // vertex presence
    write_int32(w, 0);  // vertex count
    note(report, e.closed, Loss::entity_shape);
    return;
  }
  write_entity_head(w, kVertexChain, e, false, report);
  write_vertex_chain(w, e, e.closed, -1, report);
}

// Kind 28 with extras field 0: the loader makes a point set of the points
// (one more, back to the first, when closed) and gives it no properties. A
// held point set is written open: its points are all there.
void write_point_set(TorvWriter& w, const KT_Vertex_Entity& e, SaveReport& report) {
  write_entity_head(w, kVertexChain, e, true, report);
  write_vertex_chain(w, e, false, 0, report);
  note(report, e.closed || e.count <= 0, Loss::entity_shape);
}
