#include "view/cairo_canvas.h"

#include <numbers>

namespace kttrv::view {

void CairoCanvas::line_style(double width, LineCap cap) {
  cairo_set_line_width(cr_, width);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr_, cap == LineCap::round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
}

void CairoCanvas::circle(double x, double y, double radius) {
  cairo_new_sub_path(cr_);
  cairo_arc(cr_, x, y, radius, 0, 2 * std::numbers::pi);
}

void CairoCanvas::text(const std::string& utf8, const TextMatrix& t, bool centred) {
  // cairo's glyphs rise towards -y: the flip comes first.
  cairo_matrix_t m{t.xx, t.yx, -t.xy, -t.yy, t.x0, t.y0};
  cairo_save(cr_);
  cairo_transform(cr_, &m);
  cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, 1.0);
  double x_start = 0;
  if (centred) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, utf8.c_str(), &extents);
    x_start = -extents.x_advance / 2;
  }
  cairo_move_to(cr_, x_start, 0);
  cairo_show_text(cr_, utf8.c_str());
  cairo_new_path(cr_);
  cairo_restore(cr_);
}

double sans_serif_advance(const std::string& utf8) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 1.0);
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, utf8.c_str(), &extents);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return extents.x_advance;
}

}  // namespace kttrv::view
