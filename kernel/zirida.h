// The host drawing kernel ZiRida as the plug-in sees it: the drawing, its
// ordered collections, and the creation and property operations. The kernel
// itself (libZiRida) owns every object; the plug-in only calls these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct Ge_Pt {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// Every collection element. `id` is the drawing's creation number (from 1).
struct KT_Object {
  KT_Object* next = nullptr;
  KT_Object* prev = nullptr;
  long id = 0;
};

// An ordered, doubly linked collection; callers count it by walking `first`.
struct KT_Collection {
  KT_Object* first = nullptr;
  KT_Object* last = nullptr;
};

struct KT_Layer : KT_Object {
  const char* name = "";
  long color = 0;
  int line_type = 0;
  bool on = true;
  bool flag2 = false;
  bool flag3 = false;
};

struct KT_Text_Style : KT_Object {
  const char* name = "*no name";
  const char* font_file = "";
  const char* big_font_file = "";
  double reals[4] = {10.0, 0.0, 0.0, 0.0};
  int flags = 0;
  int last = 0;
  int32_t mark = 0;  // the kernel's reserved member (256 marks a flagged style)
};

struct KT_Dim_Style : KT_Object {
  static constexpr int kLongs = 3;
  static constexpr int kShorts = 13;
  static constexpr int kReals = 16;
  const char* name = "";
  const char* second_name = "";
  long longs[kLongs] = {};
  short shorts[kShorts] = {};
  double reals[kReals] = {};
};

struct KT_Line_Type : KT_Object {
  const char* name = "";
};

enum class KT_Drawable_Kind : uint8_t {
  point, line, solid, circle, arc, text, insert, dimension, polyline, point_set
};

// A drawable keeps every value it was created with. Concrete layouts are in
// kt_drawables.h; the plug-in handles drawables only by pointer.
// A drawable's colour number when its record is not known.
inline constexpr int16_t KT_NO_COLOR_NUMBER = INT16_MIN;

struct KT_Drawable {
  KT_Drawable* next = nullptr;
  long id = 0;
  KT_Drawable_Kind kind{};
  // The colour number its record stored (256: by layer, also when the
  // record stored none; 0: by block), kept by a host that carries the file.
  int16_t color_number = KT_NO_COLOR_NUMBER;
  long color = 0;  // colour value (0x00BBGGRR)
  long third = 0;
  long layer = 0;
};

struct KT_Entity_List {
  KT_Drawable* first = nullptr;
  KT_Drawable* last = nullptr;
};

struct KT_Block : KT_Object {
  const char* name = "Block";
  const char* description = "DESC";
  Ge_Pt base;
  KT_Entity_List entities;
  double bounds[4] = {};  // min x, min y, max x, max y; the stand-in never computes them (zeros)
};

// What the kernel keeps behind a drawing (its storage, the open block, the
// creation numbers); defined by the kernel, never looked into by the plug-in.
struct KT_Drawing_Store;

// A drawing: five ordered collections and the model space.
class KT_Drawing {
 public:
  KT_Drawing();
  ~KT_Drawing();
  KT_Drawing(const KT_Drawing&) = delete;
  KT_Drawing& operator=(const KT_Drawing&) = delete;

  KT_Collection blocks;
  KT_Collection layers;
  KT_Collection dim_styles;
  KT_Collection text_styles;
  KT_Collection line_types;
  KT_Entity_List model_space;

  KT_Drawing_Store& store() const { return *store_; }

 private:
  std::unique_ptr<KT_Drawing_Store> store_;
};

extern KT_Drawing* g_current_drawing;

// Creation and property operations. Out arguments start null and stay null
// when the kernel creates nothing; the returning ones give null instead.
void api_kt_create_layer(KT_Layer*& out, const char* name, long color, int line_type,
                         bool on, bool flag2, bool flag3);
void api_kt_create_text_style(KT_Text_Style*& out, const char* name, const char* font_file,
                              const char* big_font_file, double real1, double real2,
                              double real3, double real4, int flags, int last);
void api_kt_set_text_style_mark(KT_Text_Style* style, int32_t value);
void api_kt_create_dim_style(const char* name, const char* second_name, const long* longs,
                             const short* shorts, const double* reals);
void api_kt_create_block(KT_Block*& out, const char* name, const double* base);
void api_kt_end_block(KT_Block* block);

void api_kt_create_point(KT_Drawable*& out, const double* point);
void api_kt_create_line(KT_Drawable*& out, const double* start, const double* end);
void api_kt_create_solid(KT_Drawable*& out, const double* p1, const double* p2,
                         const double* p3, const double* p4, int count);
KT_Drawable* api_kt_create_circle(double cx, double cy, double radius);
KT_Drawable* api_kt_create_arc(const double* centre, double radius, double start, double end);
void api_kt_create_text(KT_Drawable*& out, const char* text, const char* style,
                        const double* point, double height, double width_factor,
                        double rotation);
void api_kt_create_insert(KT_Drawable*& out, const double* point, double x_scale,
                          double y_scale, double z_scale, double rotation,
                          const char* block_name);
KT_Drawable* api_kt_create_dimension(const char* s1, const char* s2, const char* s3,
                                     const double* p1, const double* p2, const double* p3,
                                     const double* p4, const double* p5, const double* p6,
                                     const double* p7, double r1, double r2, double r3,
                                     double r4, double r5, double r6, int value);
void api_kt_create_polyline(KT_Drawable*& out, long count, bool closed);
void api_kt_set_pline_pos(KT_Drawable* polyline, long index, double x, double y, double z);
void api_kt_create_lines(KT_Drawable*& out, long count);
void api_kt_set_ptset_pos(KT_Drawable* point_set, long index, double x, double y, double z);
void api_set_drawable_prop(KT_Drawable* drawable, long color, long third, long layer);
long api_kt_get_color_byindex(short color, short layer);
bool is_file_ext(const char* file_name, const char* ext);

// The default objects of the kernel's classes, built and appended at the end
// of their collection (what constructing a KT_Line_Type, KT_Text_Style or
// KT_Block and linking it in does in the host).
KT_Line_Type* kt_append_line_type(KT_Drawing& drawing);
KT_Text_Style* kt_append_text_style(KT_Drawing& drawing);
KT_Block* kt_append_block(KT_Drawing& drawing);
