// A drawing kernel that only counts: every creation operation is counted and
// creates nothing (out arguments stay null, returning ones give null), which
// the plug-in accepts. Built as libZiRida, it replaces the stand-in kernel
// under an unchanged libKtTrv and shows what a kernel must provide.
#include <kttrv/kttrv.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "counting_kernel.h"

namespace {
long g_calls = 0;
long count() { return ++g_calls; }
}  // namespace

long counting_kernel_calls() { return g_calls; }

// The drawing and what the kernel keeps behind it: this kernel keeps nothing.
struct KT_Drawing_Store {};
KT_Drawing* g_current_drawing = nullptr;
KT_Drawing::KT_Drawing() : store_(std::make_unique<KT_Drawing_Store>()) {}
KT_Drawing::~KT_Drawing() = default;

// The framework shim: where the plug-in's messages go.
int AfxMessageBox(const char* text, unsigned, unsigned) {
  std::fprintf(stderr, "message: %s\n", text);
  return 1;
}

void api_kt_create_layer(KT_Layer*&, const char*, long, int, bool, bool, bool) { count(); }
void api_kt_create_text_style(KT_Text_Style*&, const char*, const char*, const char*, double, double,
                              double, double, int, int) { count(); }
void api_kt_set_text_style_mark(KT_Text_Style*, int32_t) { count(); }
void api_kt_create_dim_style(const char*, const char*, const long*, const short*, const double*) { count(); }
void api_kt_create_block(KT_Block*&, const char*, const double*) { count(); }
void api_kt_end_block(KT_Block*) { count(); }
void api_kt_create_point(KT_Drawable*&, const double*) { count(); }
void api_kt_create_line(KT_Drawable*&, const double*, const double*) { count(); }
void api_kt_create_solid(KT_Drawable*&, const double*, const double*, const double*, const double*, int) {
  count();
}
KT_Drawable* api_kt_create_circle(double, double, double) { count(); return nullptr; }
KT_Drawable* api_kt_create_arc(const double*, double, double, double) { count(); return nullptr; }
void api_kt_create_text(KT_Drawable*&, const char*, const char*, const double*, double, double, double) {
  count();
}
void api_kt_create_insert(KT_Drawable*&, const double*, double, double, double, double, const char*) {
  count();
}
KT_Drawable* api_kt_create_dimension(const char*, const char*, const char*, const double*, const double*,
                                     const double*, const double*, const double*, const double*,
                                     const double*, double, double, double, double, double, double, int) {
  count();
  return nullptr;
}
void api_kt_create_polyline(KT_Drawable*&, long, bool) { count(); }
void api_kt_set_pline_pos(KT_Drawable*, long, double, double, double) { count(); }
void api_kt_create_lines(KT_Drawable*&, long) { count(); }
void api_kt_set_ptset_pos(KT_Drawable*, long, double, double, double) { count(); }
void api_set_drawable_prop(KT_Drawable*, long, long, long) { count(); }
long api_kt_get_color_byindex(short, short) { return 0; }

bool is_file_ext(const char* file_name, const char* ext) {
  const char* dot = std::strrchr(file_name, '.');
  return dot != nullptr && strcasecmp(dot + 1, ext) == 0;
}

KT_Line_Type* kt_append_line_type(KT_Drawing&) { count(); return nullptr; }
KT_Text_Style* kt_append_text_style(KT_Drawing&) { count(); return nullptr; }
KT_Block* kt_append_block(KT_Drawing&) { count(); return nullptr; }
