// The stand-in drawing kernel: a real in-memory model. Every object and
// string comes from the drawing's arena and lives as long as the drawing.
#include <cstdint>
#include <cstring>
#include <new>

#include "format/color_palette.h"
#include "format/names.h"
#include "host/kernel_state.h"
#include "host/kt_drawing_store.h"
#include "kernel/kt_drawables.h"

KT_Drawing* g_current_drawing = nullptr;

KT_Drawing::KT_Drawing() : store_(std::make_unique<KT_Drawing_Store>()) {}
KT_Drawing::~KT_Drawing() = default;

namespace zirida {

TraceState g_trace;

namespace {

bool g_refused[static_cast<int>(KT_Op::count_)] = {};

bool refused(KT_Op op) { return g_refused[static_cast<int>(op)]; }

template <class T>
T* make(KT_Drawing& d) {
  void* p = d.store().arena.take(sizeof(T), alignof(T));
  T* object = new (p) T;  // every member has its initial value: no block-wide clear
  object->id = d.store().next_id++;
  return object;
}

const char* copy_string(KT_Drawing& d, const char* s) {
  if (s == nullptr) return nullptr;
  const std::size_t n = std::strlen(s) + 1;
  char* p = static_cast<char*>(d.store().arena.take(n, 1));
  std::memcpy(p, s, n);
  return p;
}

void link(KT_Collection& c, KT_Object* o) {
  o->prev = c.last;
  o->next = nullptr;
  if (c.last) c.last->next = o;
  else c.first = o;
  c.last = o;
}

// Room for a drawable, taken before its strings so that they follow it.
template <class T>
void* room_for(KT_Drawing& d) {
  return d.store().arena.take(sizeof(T), alignof(T));
}

// Builds the drawable in `room` from its values in one go (no member written
// twice) with the next creation number, and puts it at the end of the open
// block, else of the model space.
template <class T, class... Values>
T* place_drawable(KT_Drawing& d, void* room, KT_Drawable_Kind kind, const Values&... values) {
  KT_Drawing_Store& s = d.store();
  T* e;
  if constexpr (sizeof...(Values) == 0) {
    e = new (room) T;  // values written by the caller (arrays)
    e->id = s.next_id++;
    e->kind = kind;
  } else {
    e = new (room) T{{nullptr, s.next_id++, kind}, values...};
  }
  KT_Entity_List& list = s.open_block ? s.open_block->entities : d.model_space;
  if (list.last) list.last->next = e;
  else list.first = e;
  list.last = e;
  return e;
}

template <class T, class... Values>
T* make_drawable(KT_Drawing& d, KT_Drawable_Kind kind, const Values&... values) {
  return place_drawable<T>(d, room_for<T>(d), kind, values...);
}

Ge_Pt to_pt(const double* p) { return {p[0], p[1], p[2]}; }

long id_of(const KT_Object* o) { return o ? o->id : 0; }
long id_of(const KT_Drawable* o) { return o ? o->id : 0; }

inline long color_value(const KT_Drawing& drawing, short color, short layer) {
  if (color >= 1 && color <= 255) return static_cast<long>(color_palette[color]);
  const auto& layers = drawing.store().layer_index;
  if (color == -1 && layer >= 0 && static_cast<std::size_t>(layer) < layers.size()) return layers[layer]->color;
  return static_cast<long>(color_palette[7]);
}

// Creation needs a current drawing and an unrefused operation.
KT_Drawing* target(KT_Op op) { return refused(op) ? nullptr : g_current_drawing; }

}  // namespace
}  // namespace zirida

using namespace zirida;

void zirida_refuse(KT_Op op, bool refuse) { g_refused[static_cast<int>(op)] = refuse; }
void zirida_refuse_none() {
  for (bool& r : g_refused) r = false;
}

void zirida_set_trace(ZiRidaTraceWriter writer, void* context) {
  g_trace.writer = writer;
  g_trace.context = context;
}

long zirida_color_value(const KT_Drawing& drawing, short color, short layer) {
  return color_value(drawing, color, layer);
}

void api_kt_create_layer(KT_Layer*& out, const char* name, long color, int line_type, bool on,
                         bool flag2, bool flag3) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_layer)) {
    KT_Layer* l = make<KT_Layer>(*d);
    l->name = copy_string(*d, name ? name : "");
    l->color = color;
    l->line_type = line_type;
    l->on = on;
    l->flag2 = flag2;
    l->flag3 = flag3;
    link(d->layers, l);
    d->store().layer_index.push_back(l);
    out = l;
  }
  if (tracing()) trace("api_kt_create_layer", [=](TraceLine& t) { t.arg(name).arg(color).arg(line_type).arg(on).arg(flag2).arg(flag3).id(id_of(out)); });
}

void api_kt_create_text_style(KT_Text_Style*& out, const char* name, const char* font_file,
                              const char* big_font_file, double real1, double real2, double real3,
                              double real4, int flags, int last) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_text_style)) {
    KT_Text_Style* s = make<KT_Text_Style>(*d);
    s->name = copy_string(*d, name ? name : "");
    s->font_file = copy_string(*d, font_file ? font_file : "");
    s->big_font_file = copy_string(*d, big_font_file ? big_font_file : "");
    s->reals[0] = real1;
    s->reals[1] = real2;
    s->reals[2] = real3;
    s->reals[3] = real4;
    s->flags = flags;
    s->last = last;
    link(d->text_styles, s);
    out = s;
  }
  if (tracing())
    trace("api_kt_create_text_style", [=](TraceLine& t) {
      t.arg(name).arg(font_file).arg(big_font_file).arg(real1).arg(real2).arg(real3).arg(real4);
      t.arg(flags).arg(last).id(id_of(out));
    });
}

void api_kt_set_text_style_mark(KT_Text_Style* style, int32_t value) {
  if (style) style->mark = value;
  if (tracing()) trace("api_kt_set_text_style_mark", [=](TraceLine& t) { t.arg(id_of(style)).arg(static_cast<long>(value)); });
}

void api_kt_create_dim_style(const char* name, const char* second_name, const long* longs,
                             const short* shorts, const double* reals) {
  KT_Dim_Style* s = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_dim_style)) {
    s = make<KT_Dim_Style>(*d);
    s->name = copy_string(*d, name ? name : "");
    s->second_name = copy_string(*d, second_name ? second_name : "");
    std::memcpy(s->longs, longs, sizeof s->longs);
    std::memcpy(s->shorts, shorts, sizeof s->shorts);
    std::memcpy(s->reals, reals, sizeof s->reals);
    link(d->dim_styles, s);
  }
  // The call gives nothing back: what it made (or not) is kept for who
  // hears of the record next.
  if (g_current_drawing != nullptr) g_current_drawing->store().made_dim_style = s;
  if (tracing())
    trace("api_kt_create_dim_style", [=](TraceLine& t) {
      t.arg(name).arg(second_name).longs(longs, KT_Dim_Style::kLongs);
      t.shorts(shorts, KT_Dim_Style::kShorts).reals(reals, KT_Dim_Style::kReals).id(id_of(s));
    });
}

void api_kt_create_block(KT_Block*& out, const char* name, const double* base) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_block)) {
    KT_Block* b = make<KT_Block>(*d);
    b->name = copy_string(*d, name ? name : "");
    b->description = "";
    b->base = to_pt(base);
    link(d->blocks, b);
    d->store().open_block = b;
    out = b;
  }
  if (tracing()) trace("api_kt_create_block", [=](TraceLine& t) { t.arg(name).point(base).id(id_of(out)); });
}

void api_kt_end_block(KT_Block* block) {
  if (g_current_drawing) g_current_drawing->store().open_block = nullptr;
  if (tracing())
    trace("api_kt_end_block", [=](TraceLine& t) {
      if (block) t.arg(block->id);
      else t.arg(static_cast<const char*>(nullptr));
    });
}

void api_kt_create_point(KT_Drawable*& out, const double* point) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_point)) {
    out = make_drawable<KT_Point_Entity>(*d, KT_Drawable_Kind::point, to_pt(point));
  }
  if (tracing()) trace("api_kt_create_point", [=](TraceLine& t) { t.point(point).id(id_of(out)); });
}

void api_kt_create_line(KT_Drawable*& out, const double* start, const double* end) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_line)) {
    out = make_drawable<KT_Line_Entity>(*d, KT_Drawable_Kind::line, to_pt(start), to_pt(end));
  }
  if (tracing()) trace("api_kt_create_line", [=](TraceLine& t) { t.point(start).point(end).id(id_of(out)); });
}

void api_kt_create_solid(KT_Drawable*& out, const double* p1, const double* p2, const double* p3,
                         const double* p4, int count) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_solid)) {
    auto* e = make_drawable<KT_Solid_Entity>(*d, KT_Drawable_Kind::solid);
    e->corners[0] = to_pt(p1);
    e->corners[1] = to_pt(p2);
    e->corners[2] = to_pt(p3);
    e->corners[3] = to_pt(p4);
    e->count = count;
    out = e;
  }
  if (tracing()) trace("api_kt_create_solid", [=](TraceLine& t) { t.point(p1).point(p2).point(p3).point(p4).arg(count).id(id_of(out)); });
}

KT_Drawable* api_kt_create_circle(double cx, double cy, double radius) {
  KT_Drawable* out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_circle)) {
    out = make_drawable<KT_Circle_Entity>(*d, KT_Drawable_Kind::circle, Ge_Pt{cx, cy, 0.0}, radius);
  }
  if (tracing()) trace("api_kt_create_circle", [=](TraceLine& t) { t.arg(cx).arg(cy).arg(radius).id(id_of(out)); });
  return out;
}

KT_Drawable* api_kt_create_arc(const double* centre, double radius, double start, double end) {
  KT_Drawable* out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_arc)) {
    out = make_drawable<KT_Arc_Entity>(*d, KT_Drawable_Kind::arc, to_pt(centre), radius, start, end);
  }
  if (tracing()) trace("api_kt_create_arc", [=](TraceLine& t) { t.point(centre).arg(radius).arg(start).arg(end).id(id_of(out)); });
  return out;
}

void api_kt_create_text(KT_Drawable*& out, const char* text, const char* style, const double* point,
                        double height, double width_factor, double rotation) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_text)) {
    void* room = room_for<KT_Text_Entity>(*d);
    const char* text_copy = copy_string(*d, text);
    const char* style_copy = copy_string(*d, style);
    out = place_drawable<KT_Text_Entity>(*d, room, KT_Drawable_Kind::text, text_copy, style_copy, to_pt(point),
                                         height, width_factor, rotation);
  }
  if (tracing()) trace("api_kt_create_text", [=](TraceLine& t) { t.arg(text).arg(style).point(point).arg(height).arg(width_factor).arg(rotation).id(id_of(out)); });
}

void api_kt_create_insert(KT_Drawable*& out, const double* point, double x_scale, double y_scale,
                          double z_scale, double rotation, const char* block_name) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_insert)) {
    void* room = room_for<KT_Insert_Entity>(*d);
    const char* name_copy = copy_string(*d, block_name);
    auto* e = place_drawable<KT_Insert_Entity>(*d, room, KT_Drawable_Kind::insert, to_pt(point));
    e->scale[0] = x_scale;
    e->scale[1] = y_scale;
    e->scale[2] = z_scale;
    e->rotation = rotation;
    e->block_name = name_copy;
    out = e;
  }
  if (tracing())
    trace("api_kt_create_insert", [=](TraceLine& t) {
      t.point(point).arg(x_scale).arg(y_scale).arg(z_scale).arg(rotation).arg(block_name);
      t.id(id_of(out));
    });
}

KT_Drawable* api_kt_create_dimension(const char* s1, const char* s2, const char* s3,
                                     const double* p1, const double* p2, const double* p3,
                                     const double* p4, const double* p5, const double* p6,
                                     const double* p7, double r1, double r2, double r3, double r4,
                                     double r5, double r6, int value) {
  KT_Drawable* out = nullptr;
  const double* points[7] = {p1, p2, p3, p4, p5, p6, p7};
  const double reals[6] = {r1, r2, r3, r4, r5, r6};
  if (KT_Drawing* d = target(KT_Op::create_dimension)) {
    auto* e = make_drawable<KT_Dimension_Entity>(*d, KT_Drawable_Kind::dimension);
    e->strings[0] = copy_string(*d, s1);
    e->strings[1] = copy_string(*d, s2);
    e->strings[2] = copy_string(*d, s3);
    for (int i = 0; i < 7; ++i) e->points[i] = to_pt(points[i]);
    std::memcpy(e->reals, reals, sizeof reals);
    e->value = value;
    out = e;
  }
  if (tracing())
    trace("api_kt_create_dimension", [=](TraceLine& t) {
      t.arg(s1).arg(s2).arg(s3);
      for (const double* p : points) t.point(p);
      for (double r : reals) t.arg(r);
      t.arg(value).id(id_of(out));
    });
  return out;
}

namespace {

KT_Drawable* make_vertex_entity(KT_Drawing& d, KT_Drawable_Kind kind, long count, bool closed) {
  void* room = room_for<KT_Vertex_Entity>(d);
  const long n = count > 0 ? count : 0;
  Ge_Pt* vertices = nullptr;
  if (n > 0) {
    void* p = d.store().arena.take(sizeof(Ge_Pt) * static_cast<std::size_t>(n), alignof(Ge_Pt));
    vertices = new (p) Ge_Pt[static_cast<std::size_t>(n)]{};
  }
  return place_drawable<KT_Vertex_Entity>(d, room, kind, n, closed, vertices);
}

void set_vertex(KT_Drawable* entity, KT_Drawable_Kind kind, long index, double x, double y,
                double z) {
  if (entity == nullptr || entity->kind != kind) return;
  auto* e = static_cast<KT_Vertex_Entity*>(entity);
  if (index >= 0 && index < e->count) e->vertices[index] = {x, y, z};
}

}  // namespace

void api_kt_create_polyline(KT_Drawable*& out, long count, bool closed) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_polyline))
    out = make_vertex_entity(*d, KT_Drawable_Kind::polyline, count, closed);
  if (tracing()) trace("api_kt_create_polyline", [=](TraceLine& t) { t.arg(count).arg(closed).id(id_of(out)); });
}

void api_kt_set_pline_pos(KT_Drawable* polyline, long index, double x, double y, double z) {
  set_vertex(polyline, KT_Drawable_Kind::polyline, index, x, y, z);
  if (tracing()) trace("api_kt_set_pline_pos", [=](TraceLine& t) { t.arg(id_of(polyline)).arg(index).arg(x).arg(y).arg(z); });
}

void api_kt_create_lines(KT_Drawable*& out, long count) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_lines))
    out = make_vertex_entity(*d, KT_Drawable_Kind::point_set, count, false);
  if (tracing()) trace("api_kt_create_lines", [=](TraceLine& t) { t.arg(count).id(id_of(out)); });
}

void api_kt_set_ptset_pos(KT_Drawable* point_set, long index, double x, double y, double z) {
  set_vertex(point_set, KT_Drawable_Kind::point_set, index, x, y, z);
  if (tracing()) trace("api_kt_set_ptset_pos", [=](TraceLine& t) { t.arg(id_of(point_set)).arg(index).arg(x).arg(y).arg(z); });
}

void api_set_drawable_prop(KT_Drawable* drawable, long color, long third, long layer) {
  if (drawable) {
    drawable->color = color;
    drawable->third = third;
    drawable->layer = layer;
  }
  if (tracing()) trace("api_set_drawable_prop", [=](TraceLine& t) { t.arg(id_of(drawable)).arg(color).arg(third).arg(layer); });
}

long api_kt_get_color_byindex(short color, short layer) {
  const long value =
      g_current_drawing ? color_value(*g_current_drawing, color, layer)
                        : static_cast<long>(color_palette[7]);
  if (tracing()) trace("api_kt_get_color_byindex", [=](TraceLine& t) { t.arg(color).arg(layer).ret(value); });
  return value;
}

bool is_file_ext(const char* file_name, const char* ext) {
  if (file_name == nullptr || ext == nullptr) return false;
  const char* dot = std::strrchr(file_name, '.');
  if (dot == nullptr || std::strpbrk(dot, "/\\") != nullptr) return false;
  return same_name(dot + 1, ext);
}

namespace {
template <class T>
T* append_default(KT_Drawing& d, KT_Collection& c, const char* op) {
  T* o = make<T>(d);
  link(c, o);
  if (tracing()) trace(op, [=](TraceLine& t) { t.id(o->id); });
  return o;
}
}  // namespace

KT_Line_Type* kt_append_line_type(KT_Drawing& d) {
  return append_default<KT_Line_Type>(d, d.line_types, "append_line_type");
}

KT_Text_Style* kt_append_text_style(KT_Drawing& d) {
  return append_default<KT_Text_Style>(d, d.text_styles, "append_text_style");
}

KT_Block* kt_append_block(KT_Drawing& d) {
  return append_default<KT_Block>(d, d.blocks, "append_block");
}

std::size_t zirida_reserved_bytes(const KT_Drawing& drawing) {
  const KT_Drawing_Store& s = drawing.store();
  return s.arena.reserved() + (s.carried != nullptr ? s.carried->reserved() : 0);
}

kttrv::LoadObserver* zirida_carry(KT_Drawing& drawing) {
  auto& carried = drawing.store().carried;
  if (carried == nullptr) carried = std::make_unique<CarriedStore>(drawing);
  return carried.get();
}

const KT_Carried* zirida_carried(const KT_Drawing& drawing) { return drawing.store().carried.get(); }

long long zirida_file_offset(const KT_Drawing& drawing, const KT_Stored& stored) {
  const CarriedStore* carried = drawing.store().carried.get();
  return carried != nullptr ? carried->file_offset(stored) : -1;
}
