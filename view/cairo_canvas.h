// The painter's canvas on a cairo context (PNG: an image surface, one per
// band of rows).
#pragma once

#include <cairo.h>

#include "view/canvas.h"

namespace kttrv::view {

class CairoCanvas final : public Canvas {
 public:
  explicit CairoCanvas(cairo_t* cr) : cr_(cr) {}

  void line_style(double width, LineCap cap) override;
  void colour(const Rgb& c) override { cairo_set_source_rgb(cr_, c.r, c.g, c.b); }
  void move_to(double x, double y) override { cairo_move_to(cr_, x, y); }
  void line_to(double x, double y) override { cairo_line_to(cr_, x, y); }
  void close_path() override { cairo_close_path(cr_); }
  void circle(double x, double y, double radius) override;
  void stroke() override { cairo_stroke(cr_); }
  void fill() override { cairo_fill(cr_); }
  void text(const std::string& utf8, const TextMatrix& m, bool centred) override;

 private:
  cairo_t* cr_;
};

// The advance of the text one unit high in cairo's sans-serif face (its
// toy font), for centring where the picture is not cairo's.
double sans_serif_advance(const std::string& utf8);

}  // namespace kttrv::view
