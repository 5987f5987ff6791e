// The stand-in drawing kernel: a real in-memory model. Every object and
// string comes from the drawing's arena and lives as long as the drawing.
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "format/color_palette.h"
#include "format/names.h"
#include "host/kernel_state.h"
#include "host/kt_drawing_store.h"
#include "kernel/kt_drawables.h"

KT_Drawing* g_current_drawing = nullptr;

KT_Drawing::KT_Drawing() : store_(std::make_unique<KT_Drawing_Store>()) {}
KT_Drawing::~KT_Drawing() = default;

KT_Arena::~KT_Arena() {
  while (chunks_) {
    Chunk* previous = chunks_->previous;
    ::operator delete(chunks_);
    chunks_ = previous;
  }
}

namespace {
// Large chunks ask for 2 MiB pages on their aligned interior: a drawing of a
// million objects then takes a few dozen page faults instead of tens of
// thousands. Only a hint; without it the chunk works the same.
void advise_huge_pages([[maybe_unused]] void* chunk, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = 2 * 1024 * 1024;
  const auto begin = (reinterpret_cast<std::uintptr_t>(chunk) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(chunk) + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}
}  // namespace

// Chunks double from 16 KiB up to 8 MiB, so a small drawing stays small and a
// large one makes few allocations; a request larger than that gets a chunk of
// its own size.
void* KT_Arena::take_from_new_chunk(std::size_t size, std::size_t align) {
  constexpr std::size_t kLargestChunk = 8 * 1024 * 1024;
  const std::size_t header = (sizeof(Chunk) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
  if (size > SIZE_MAX / 2 || align > kLargestChunk) throw std::bad_alloc();
  const std::size_t need = header + size + align;
  const bool own_chunk = need > next_chunk_;  // a large array: leave the current chunk in use
  const std::size_t bytes = own_chunk ? need : next_chunk_;
  auto* chunk = static_cast<Chunk*>(::operator new(bytes));
  advise_huge_pages(chunk, bytes);
  reserved_ += bytes;
  const auto first = reinterpret_cast<std::uintptr_t>(chunk) + header;
  const std::uintptr_t at = (first + (align - 1)) & ~static_cast<std::uintptr_t>(align - 1);
  if (own_chunk && chunks_ != nullptr) {
    // Behind the current chunk in the list, which keeps serving small objects.
    chunk->previous = chunks_->previous;
    chunks_->previous = chunk;
    return reinterpret_cast<void*>(at);
  }
  chunk->previous = chunks_;
  chunks_ = chunk;
  if (next_chunk_ < kLargestChunk) next_chunk_ *= 2;
  next_ = at + size;
  end_ = reinterpret_cast<std::uintptr_t>(chunk) + bytes;
  return reinterpret_cast<void*>(at);
}

namespace zirida {

TraceState g_trace;

namespace {

bool g_refused[static_cast<int>(KT_Op::count_)] = {};

bool refused(KT_Op op) { return g_refused[static_cast<int>(op)]; }

template <class T>
T* make(KT_Drawing& d) {
  void* p = d.store().arena.take(sizeof(T), alignof(T));
  T* object = new (p) T{};
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

// A new drawable goes to the open block, else to the model space.
template <class T>
T* make_drawable(KT_Drawing& d, KT_Drawable_Kind kind) {
  T* e = make<T>(d);
  e->kind = kind;
  KT_Block* open_block = d.store().open_block;
  KT_Entity_List& list = open_block ? open_block->entities : d.model_space;
  if (list.last) list.last->next = e;
  else list.first = e;
  list.last = e;
  return e;
}

Ge_Pt to_pt(const double* p) { return {p[0], p[1], p[2]}; }

long id_of(const KT_Object* o) { return o ? o->id : 0; }
long id_of(const KT_Drawable* o) { return o ? o->id : 0; }

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
  if (color >= 1 && color <= 255) return static_cast<long>(color_palette[color]);
  if (color == -1 && layer >= 0 && static_cast<std::size_t>(layer) < drawing.store().layer_index.size())
    return drawing.store().layer_index[layer]->color;
  return static_cast<long>(color_palette[7]);
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
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_layer");
    t.arg(name).arg(color).arg(line_type).arg(on).arg(flag2).arg(flag3).id(id_of(out));
    emit(t);
  }
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
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_text_style");
    t.arg(name).arg(font_file).arg(big_font_file).arg(real1).arg(real2).arg(real3).arg(real4);
    t.arg(flags).arg(last).id(id_of(out));
    emit(t);
  }
}

void api_kt_set_text_style_mark(KT_Text_Style* style, int32_t value) {
  if (style) style->mark = value;
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_set_text_style_mark");
    t.arg(id_of(style)).arg(static_cast<long>(value));
    emit(t);
  }
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
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_dim_style");
    t.arg(name).arg(second_name).longs(longs, KT_Dim_Style::kLongs);
    t.shorts(shorts, KT_Dim_Style::kShorts).reals(reals, KT_Dim_Style::kReals).id(id_of(s));
    emit(t);
  }
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
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_block");
    t.arg(name).point(base).id(id_of(out));
    emit(t);
  }
}

void api_kt_end_block(KT_Block* block) {
  if (g_current_drawing) g_current_drawing->store().open_block = nullptr;
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_end_block");
    if (block) t.arg(block->id);
    else t.arg(static_cast<const char*>(nullptr));
    emit(t);
  }
}

void api_kt_create_point(KT_Drawable*& out, const double* point) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_point)) {
    auto* e = make_drawable<KT_Point_Entity>(*d, KT_Drawable_Kind::point);
    e->at = to_pt(point);
    out = e;
  }
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_point");
    t.point(point).id(id_of(out));
    emit(t);
  }
}

void api_kt_create_line(KT_Drawable*& out, const double* start, const double* end) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_line)) {
    auto* e = make_drawable<KT_Line_Entity>(*d, KT_Drawable_Kind::line);
    e->start = to_pt(start);
    e->end = to_pt(end);
    out = e;
  }
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_line");
    t.point(start).point(end).id(id_of(out));
    emit(t);
  }
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
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_solid");
    t.point(p1).point(p2).point(p3).point(p4).arg(count).id(id_of(out));
    emit(t);
  }
}

KT_Drawable* api_kt_create_circle(double cx, double cy, double radius) {
  KT_Drawable* out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_circle)) {
    auto* e = make_drawable<KT_Circle_Entity>(*d, KT_Drawable_Kind::circle);
    e->centre = {cx, cy, 0.0};
    e->radius = radius;
    out = e;
  }
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_circle");
    t.arg(cx).arg(cy).arg(radius).id(id_of(out));
    emit(t);
  }
  return out;
}

KT_Drawable* api_kt_create_arc(const double* centre, double radius, double start, double end) {
  KT_Drawable* out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_arc)) {
    auto* e = make_drawable<KT_Arc_Entity>(*d, KT_Drawable_Kind::arc);
    e->centre = to_pt(centre);
    e->radius = radius;
    e->start_angle = start;
    e->end_angle = end;
    out = e;
  }
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_arc");
    t.point(centre).arg(radius).arg(start).arg(end).id(id_of(out));
    emit(t);
  }
  return out;
}

void api_kt_create_text(KT_Drawable*& out, const char* text, const char* style, const double* point,
                        double height, double width_factor, double rotation) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_text)) {
    auto* e = make_drawable<KT_Text_Entity>(*d, KT_Drawable_Kind::text);
    e->text = copy_string(*d, text);
    e->style = copy_string(*d, style);
    e->at = to_pt(point);
    e->height = height;
    e->width_factor = width_factor;
    e->rotation = rotation;
    out = e;
  }
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_text");
    t.arg(text).arg(style).point(point).arg(height).arg(width_factor).arg(rotation).id(id_of(out));
    emit(t);
  }
}

void api_kt_create_insert(KT_Drawable*& out, const double* point, double x_scale, double y_scale,
                          double z_scale, double rotation, const char* block_name) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_insert)) {
    auto* e = make_drawable<KT_Insert_Entity>(*d, KT_Drawable_Kind::insert);
    e->at = to_pt(point);
    e->scale[0] = x_scale;
    e->scale[1] = y_scale;
    e->scale[2] = z_scale;
    e->rotation = rotation;
    e->block_name = copy_string(*d, block_name);
    out = e;
  }
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_insert");
    t.point(point).arg(x_scale).arg(y_scale).arg(z_scale).arg(rotation).arg(block_name);
    t.id(id_of(out));
    emit(t);
  }
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
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_dimension");
    t.arg(s1).arg(s2).arg(s3);
    for (const double* p : points) t.point(p);
    for (double r : reals) t.arg(r);
    t.arg(value).id(id_of(out));
    emit(t);
  }
  return out;
}

namespace {

KT_Drawable* make_vertex_entity(KT_Drawing& d, KT_Drawable_Kind kind, long count, bool closed) {
  auto* e = make_drawable<KT_Vertex_Entity>(d, kind);
  e->count = count > 0 ? count : 0;
  e->closed = closed;
  if (e->count > 0) {
    void* p = d.store().arena.take(sizeof(Ge_Pt) * static_cast<std::size_t>(e->count), alignof(Ge_Pt));
    e->vertices = new (p) Ge_Pt[static_cast<std::size_t>(e->count)]{};
  }
  return e;
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
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_polyline");
    t.arg(count).arg(closed).id(id_of(out));
    emit(t);
  }
}

void api_kt_set_pline_pos(KT_Drawable* polyline, long index, double x, double y, double z) {
  set_vertex(polyline, KT_Drawable_Kind::polyline, index, x, y, z);
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_set_pline_pos");
    t.arg(id_of(polyline)).arg(index).arg(x).arg(y).arg(z);
    emit(t);
  }
}

void api_kt_create_lines(KT_Drawable*& out, long count) {
  out = nullptr;
  if (KT_Drawing* d = target(KT_Op::create_lines))
    out = make_vertex_entity(*d, KT_Drawable_Kind::point_set, count, false);
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_create_lines");
    t.arg(count).id(id_of(out));
    emit(t);
  }
}

void api_kt_set_ptset_pos(KT_Drawable* point_set, long index, double x, double y, double z) {
  set_vertex(point_set, KT_Drawable_Kind::point_set, index, x, y, z);
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_set_ptset_pos");
    t.arg(id_of(point_set)).arg(index).arg(x).arg(y).arg(z);
    emit(t);
  }
}

void api_set_drawable_prop(KT_Drawable* drawable, long color, long third, long layer) {
  if (drawable) {
    drawable->color = color;
    drawable->third = third;
    drawable->layer = layer;
  }
  if (tracing()) {
    TraceLine t(g_trace.line, "api_set_drawable_prop");
    t.arg(id_of(drawable)).arg(color).arg(third).arg(layer);
    emit(t);
  }
}

long api_kt_get_color_byindex(short color, short layer) {
  const long value =
      g_current_drawing ? zirida_color_value(*g_current_drawing, color, layer)
                        : static_cast<long>(color_palette[7]);
  if (tracing()) {
    TraceLine t(g_trace.line, "api_kt_get_color_byindex");
    t.arg(color).arg(layer).ret(value);
    emit(t);
  }
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
  if (tracing()) {
    TraceLine t(g_trace.line, op);
    t.id(o->id);
    emit(t);
  }
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
