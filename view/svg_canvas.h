// A picture written as SVG while it is drawn: each stroke or fill is one
// <path> element, each text a <text> with its transform, so the memory it
// takes does not grow with the picture.
#pragma once

#include <optional>

#include "view/canvas.h"
#include "view/picture_sink.h"

namespace kttrv::view {

class SvgCanvas final : public Canvas {
 public:
  // Writes the head (and the background, when there is one) at once.
  SvgCanvas(PictureSink& out, int width, int height, const std::optional<Rgb>& background);
  // Writes the tail; the sink is then flushed by its owner.
  void finish();

  void line_style(double width, LineCap cap) override;
  void colour(const Rgb& c) override;
  void move_to(double x, double y) override;
  void line_to(double x, double y) override;
  void close_path() override;
  void circle(double x, double y, double radius) override;
  void stroke() override;
  void fill() override;
  void text(const std::string& utf8, const TextMatrix& m, bool centred) override;

 private:
  void point(double x, double y);
  void begin_path();
  void end_path(bool stroke);
  void put_colour();

  PictureSink& out_;
  // The path so far is written inside an open <path d="..."; its attributes
  // follow once it is known whether it is stroked or filled.
  bool path_open_ = false;
  Rgb colour_{0, 0, 0};
  double line_width_ = 1;
  LineCap cap_ = LineCap::round;
};

// The text as XML character data: markup characters escaped, code points
// XML 1.0 does not allow (control characters, broken UTF-8) as U+FFFD.
std::string xml_text(const std::string& utf8);

}  // namespace kttrv::view
