#include "view/svg_canvas.h"

#include <cstdint>

#include "view/code_points.h"

namespace kttrv::view {

namespace {

void put_hex_colour(PictureSink& out, const Rgb& c) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.put('#');
  for (double v : {c.r, c.g, c.b}) {
    const int byte = static_cast<int>(v * 255.0 + 0.5) & 0xFF;
    out.put(kHex[byte >> 4]);
    out.put(kHex[byte & 15]);
  }
}

}  // namespace

std::string xml_text(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t start = i;
    const long cp = next_code_point(utf8, i);
    const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp != 0xFFFE && cp != 0xFFFF);
    if (!allowed) out += "\xEF\xBF\xBD";
    else if (cp == '<') out += "&lt;";
    else if (cp == '>') out += "&gt;";
    else if (cp == '&') out += "&amp;";
    else out.append(utf8, start, i - start);
  }
  return out;
}

SvgCanvas::SvgCanvas(PictureSink& out, int width, int height, const std::optional<Rgb>& background) : out_(out) {
  out_.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"");
  out_.number(width);
  out_.put("pt\" height=\"");
  out_.number(height);
  out_.put("pt\" viewBox=\"0 0 ");
  out_.number(width);
  out_.put(' ');
  out_.number(height);
  out_.put("\">\n");
  if (background) {
    out_.put("<rect width=\"100%\" height=\"100%\" fill=\"");
    put_hex_colour(out_, *background);
    out_.put("\"/>\n");
  }
}

void SvgCanvas::finish() { out_.put("</svg>\n"); }

void SvgCanvas::line_style(double width, LineCap cap) {
  line_width_ = width;
  cap_ = cap;
}

void SvgCanvas::colour(const Rgb& c) { colour_ = c; }

void SvgCanvas::begin_path() {
  if (path_open_) return;
  out_.put("<path d=\"");
  path_open_ = true;
}

void SvgCanvas::point(double x, double y) {
  out_.number(x);
  out_.put(' ');
  out_.number(y);
}

void SvgCanvas::move_to(double x, double y) {
  begin_path();
  out_.put('M');
  point(x, y);
}

void SvgCanvas::line_to(double x, double y) {
  out_.put('L');
  point(x, y);
}

void SvgCanvas::close_path() { out_.put('Z'); }

// Two half circles with the sweep flag set: clockwise on the y-down
// picture, the way a polygon of positive area there turns.
void SvgCanvas::circle(double x, double y, double r) {
  begin_path();
  out_.put('M');
  point(x + r, y);
  for (const double to : {x - r, x + r}) {
    out_.put('A');
    point(r, r);
    out_.put(" 0 1 1 ");
    point(to, y);
  }
  out_.put('Z');
}

void SvgCanvas::put_colour() { put_hex_colour(out_, colour_); }

void SvgCanvas::end_path(bool stroke) {
  if (!path_open_) return;
  path_open_ = false;
  if (stroke) {
    out_.put("\" fill=\"none\" stroke=\"");
    put_colour();
    out_.put("\" stroke-width=\"");
    out_.number(line_width_, 3);
    out_.put(cap_ == LineCap::round ? "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
                                    : "\" stroke-linejoin=\"round\"/>\n");
  } else {
    out_.put("\" fill=\"");
    put_colour();
    out_.put("\"/>\n");
  }
}

void SvgCanvas::stroke() { end_path(true); }
void SvgCanvas::fill() { end_path(false); }

void SvgCanvas::text(const std::string& utf8, const TextMatrix& m, bool centred) {
  // SVG glyphs rise towards -y: the matrix takes the flip first.
  out_.put("<text transform=\"matrix(");
  const double values[6] = {m.xx, m.yx, -m.xy, -m.yy, m.x0, m.y0};
  for (int i = 0; i < 6; ++i) {
    if (i > 0) out_.put(' ');
    out_.number(values[i], i < 4 ? 4 : 2);
  }
  out_.put(")\" font-family=\"sans-serif\" font-size=\"1\"");
  if (centred) out_.put(" text-anchor=\"middle\"");
  out_.put(" fill=\"");
  put_colour();
  out_.put("\">");
  out_.put(xml_text(utf8));
  out_.put("</text>\n");
}

}  // namespace kttrv::view
