// What the painter draws on: paths of straight segments and dots, stroked or
// filled (nonzero winding) in one colour, and texts placed by a matrix. The
// picture's backends (cairo's image surface for PNG, our own streaming SVG
// and PDF writers) each implement it; coordinates are the picture's own,
// in pixels (points), y down.
#pragma once

#include <string>

namespace kttrv::view {

struct Rgb {
  double r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline Rgb rgb_of_rrggbb(unsigned v) {
  return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

// x' = xx x + xy y + x0, y' = yx x + yy y + y0, from a text's own space
// (one unit its height, y up: glyphs rise towards +y) to the picture.
struct TextMatrix {
  double xx, yx, xy, yy, x0, y0;
};

enum class LineCap { butt, round };

class Canvas {
 public:
  virtual ~Canvas() = default;
  // Set once before anything is drawn.
  virtual void line_style(double width, LineCap cap) = 0;
  // Stroke and fill colour from here on; the path must be empty.
  virtual void colour(const Rgb& c) = 0;
  virtual void move_to(double x, double y) = 0;
  virtual void line_to(double x, double y) = 0;
  virtual void close_path() = 0;
  // A whole circle as a sub-path of its own, turning the way a polygon of
  // positive area (in these y-down coordinates) turns.
  virtual void circle(double x, double y, double radius) = 0;
  // Draw the path and begin a new one.
  virtual void stroke() = 0;
  virtual void fill() = 0;
  // utf8 from the text's origin (or centred on it), in a sans-serif face
  // one unit high; the path must be empty.
  virtual void text(const std::string& utf8, const TextMatrix& m, bool centred) = 0;
};

}  // namespace kttrv::view
