#include "view/render.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <memory>
#include <numbers>
#include <vector>

#include "kernel/kt_carried.h"
#include "view/drawables.h"
#include "view/extents.h"
#include "view/layer_index.h"
#include "view/stored_entity.h"
#include "view/utf8.h"
#include "view/walk.h"

namespace kttrv::view {

namespace {

constexpr double kMargin = 0.05;       // of the width, on every side
constexpr double kMaxCoordinate = 1e7;
constexpr long kMaxPixels = 64L * 1024 * 1024;  // device units; cairo's fixed point ends not far beyond

struct Rgb {
  double r, g, b;
};

Rgb rgb_of_rrggbb(uint32_t v) { return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0}; }

// Drawables hold 0x00BBGGRR. One that would vanish into the background is
// drawn in its opposite.
Rgb drawable_rgb(long value, const std::optional<uint32_t>& background) {
  const auto v = static_cast<uint32_t>(value) & 0xFFFFFFu;
  const uint32_t rrggbb = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
  if (background && rrggbb == *background) return rgb_of_rrggbb(~rrggbb & 0xFFFFFF);
  return rgb_of_rrggbb(rrggbb);
}

// World (y up) to picture (y down), fitted to the extents.
struct View {
  double scale = 1, x_min = 0, y_min = 0, margin = 0;
  int width_px = 0, height_px = 0;

  static View fit(const Extents& e, int width) {
    View v;
    v.width_px = width;
    v.margin = kMargin * width;
    double w = e.empty ? 0 : e.max.x - e.min.x;
    double h = e.empty ? 0 : e.max.y - e.min.y;
    if (!std::isfinite(w) || !std::isfinite(h)) w = h = 0;
    // A flat drawing (a single line) still gets some height.
    const double floor = std::max(std::max(w, h) * 0.1, 1e-9);
    if (w <= 0 && h <= 0) w = h = 1;
    w = std::max(w, floor);
    h = std::max(h, floor);
    // A tall drawing is fitted to the tallest picture allowed instead: at
    // most 16384 pixels and 64 million pixels in all.
    const double max_height = std::min(16384.0, std::floor(double{kMaxPixels} / width));
    v.scale = std::min((width - 2 * v.margin) / w, (max_height - 2 * v.margin) / h);
    v.height_px = static_cast<int>(std::clamp(std::ceil(h * v.scale + 2 * v.margin), 1.0, max_height));
    // Centre the extents in both directions.
    v.x_min = (e.empty ? 0 : (e.min.x + e.max.x) / 2) - (width - 2 * v.margin) / v.scale / 2;
    v.y_min = (e.empty ? 0 : (e.min.y + e.max.y) / 2) - (v.height_px - 2 * v.margin) / v.scale / 2;
    return v;
  }
  double px(double x) const { return margin + (x - x_min) * scale; }
  double py(double y) const { return height_px - margin - (y - y_min) * scale; }
};

// Draws the drawables as the walk gives them. Strokes and fills of one
// colour go into one path, drawn when the colour changes or the path grows
// long, so that cairo works once per run instead of once per drawable.
// What lies wholly outside the picture is passed over, and of what is
// smaller than a pixel, only the first of one colour run in each pixel is
// drawn: a million drawables in one pixel cost one.
class Painter {
 public:
  Painter(cairo_t* cr, const View& view, const RenderOptions& options, const LayerIndex& layers, long long* charged)
      : cr_(cr), view_(view), options_(options), layers_(layers), line_width_(std::max(1.0, view.width_px / 1000.0)),
        charged_(charged),
        seen_((static_cast<std::size_t>(view.width_px) * static_cast<std::size_t>(view.height_px) + 63) / 64) {
    cairo_set_line_width(cr_, line_width_);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
  }

  // A drawable by layer (colour number 256) takes its layer's colour as the
  // layer has it now, so that recolouring a layer recolours its drawables;
  // every other one its own colour value.
  long colour_value(const KT_Drawable& d) const {
    if (d.color_number == 256)
      if (const KT_Layer* layer = layers_.find(d.layer)) return layer->color;
    return d.color;
  }

  void draw(const KT_Drawable& d, const Placement& p) {
    use_colour(drawable_rgb(colour_value(d), options_.background));
    visit(d, [this, &p](const auto& e) { paint(e, p); });
  }

  // What is still in the path.
  void finish() { flush(); }

 private:
  enum class Pending { none, stroke, fill };
  // Paths longer than this are drawn and a new one begun.
  static constexpr long kBatchPoints = 1024;

  void charge(long long units) {
    if (charged_ != nullptr) *charged_ += units;
  }

  void use_colour(const Rgb& c) {
    if (have_colour_ && c.r == colour_.r && c.g == colour_.g && c.b == colour_.b) return;
    flush();
    cairo_set_source_rgb(cr_, c.r, c.g, c.b);
    colour_ = c;
    have_colour_ = true;
    // A pixel seen in another colour may be drawn again in this one.
    for (const std::size_t word : seen_words_) seen_[word] = 0;
    seen_words_.clear();
  }

  void flush() {
    if (pending_ == Pending::stroke) cairo_stroke(cr_);
    else if (pending_ == Pending::fill) cairo_fill(cr_);
    pending_ = Pending::none;
    pending_points_ = 0;
  }

  void begin(Pending mode, std::size_t points) {
    if (pending_ != mode || pending_points_ + static_cast<long>(points) > kBatchPoints) flush();
    pending_ = mode;
    pending_points_ += static_cast<long>(points);
  }

  void paint(const KT_Point_Entity& e, const Placement& p) { mark(p.apply(e.at)); }
  void paint(const KT_Line_Entity& e, const Placement& p) {
    const Ge_Pt v[2] = {p.apply(e.start), p.apply(e.end)};
    stroke(v, false);
  }
  void paint(const KT_Solid_Entity& e, const Placement& p) {
    Ge_Pt corners[4];
    std::size_t n = 0;
    for (int i = 0; i < e.count && i < 4; ++i) corners[n++] = p.apply(e.corners[i]);
    fill({corners, n});
  }
  void paint(const KT_Circle_Entity& e, const Placement& p) { arc(e.centre, e.radius, 0, 2 * std::numbers::pi, p); }
  void paint(const KT_Arc_Entity& e, const Placement& p) {
    double sweep = std::fmod(e.end_angle - e.start_angle, 2 * std::numbers::pi);
    if (sweep <= 0) sweep += 2 * std::numbers::pi;
    arc(e.centre, e.radius, e.start_angle, sweep, p);
  }
  void paint(const KT_Text_Entity& e, const Placement& p) {
    text(e.text, e.at, e.height, e.rotation, e.width_factor, p, false);
  }
  // Its block's drawables follow; the values of its attribute records are
  // written where they stand.
  void paint(const KT_Insert_Entity& e, const Placement& p) {
    if (options_.carried == nullptr) return;
    const KT_Stored* stored = options_.carried->stored(static_cast<const KT_Drawable&>(e));
    if (stored == nullptr) return;
    for (const StoredAttribute& a : decode_stored_entity(stored->bytes()).attributes) {
      // The value is the third string; the first is its tag.
      const std::optional<std::string>& value = a.strings[2];
      if (!value || value->empty() || !std::isfinite(a.angle)) continue;
      text(value->c_str(), {a.point[0], a.point[1], 0}, a.height, a.angle * std::numbers::pi / 180.0, 1.0, p, false);
    }
  }
  // Extension lines, the dimension line, and the first string (or the
  // measured length) above its middle.
  void paint(const KT_Dimension_Entity& e, const Placement& p) {
    const DimensionLines l = dimension_lines(e);
    const Ge_Pt a[2] = {p.apply(l.a), p.apply(l.a_on_line)};
    const Ge_Pt b[2] = {p.apply(l.b), p.apply(l.b_on_line)};
    const Ge_Pt line[2] = {p.apply(l.a_on_line), p.apply(l.b_on_line)};
    stroke(a, false);
    stroke(b, false);
    stroke(line, false);
    const double dx = l.b.x - l.a.x, dy = l.b.y - l.a.y;
    const double length = std::hypot(dx, dy);
    if (!(length > 0)) return;
    char measured[32];
    std::snprintf(measured, sizeof measured, "%.2f", length);
    const char* label = e.strings[0] && *e.strings[0] ? e.strings[0] : measured;
    const double h = 0.018 * view_.width_px / view_.scale;  // one size for every dimension
    const double angle = std::atan2(dy, dx);
    const Ge_Pt mid{(l.a_on_line.x + l.b_on_line.x) / 2 - std::sin(angle) * h * 0.3,
                    (l.a_on_line.y + l.b_on_line.y) / 2 + std::cos(angle) * h * 0.3, 0};
    text(label, mid, h, angle, 1.0, p, /*centred=*/true);
  }
  void paint(const KT_Vertex_Entity& e, const Placement& p) {
    world_.clear();
    for (long i = 0; i < e.count; ++i) world_.push_back(p.apply(e.vertices[i]));
    stroke(world_, e.closed);
  }

  // Device coordinates, or false when they are not finite or far outside.
  bool device(const Ge_Pt& w, double& x, double& y) const {
    x = view_.px(w.x);
    y = view_.py(w.y);
    return std::isfinite(x) && std::isfinite(y) && std::abs(x) < kMaxCoordinate && std::abs(y) < kMaxCoordinate;
  }

  // The points in device coordinates (dev_) with their box; false when one
  // cannot be placed (the drawable is then not drawn).
  bool to_device(std::span<const Ge_Pt> world) {
    dev_.clear();
    box_ = {INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const Ge_Pt& w : world) {
      double x, y;
      if (!device(w, x, y)) return false;
      dev_.push_back({x, y});
      box_.take(x, y);
    }
    return !dev_.empty();
  }

  // Whether what has the box is to be drawn: not when it lies wholly
  // outside the picture (by more than `reach`, what a stroke or mark adds
  // around it), nor when it is smaller than a pixel in a pixel already
  // drawn in this colour.
  bool to_be_drawn(double reach) {
    if (box_.x1 < -reach || box_.y1 < -reach || box_.x0 > view_.width_px + reach || box_.y0 > view_.height_px + reach)
      return false;
    if (box_.x1 - box_.x0 >= 1 || box_.y1 - box_.y0 >= 1) return true;
    const double cx = (box_.x0 + box_.x1) / 2, cy = (box_.y0 + box_.y1) / 2;
    if (!(cx >= 0 && cy >= 0 && cx < view_.width_px && cy < view_.height_px)) return true;
    const std::size_t pixel = static_cast<std::size_t>(cy) * static_cast<std::size_t>(view_.width_px) +
                              static_cast<std::size_t>(cx);
    uint64_t& word = seen_[pixel / 64];
    const uint64_t bit = uint64_t{1} << (pixel % 64);
    if (word & bit) return false;
    if (word == 0) seen_words_.push_back(pixel / 64);
    word |= bit;
    return true;
  }

  void stroke(std::span<const Ge_Pt> world, bool closed) {
    if (!to_device(world) || !to_be_drawn(line_width_)) return;
    begin(Pending::stroke, dev_.size());
    cairo_move_to(cr_, dev_[0].x, dev_[0].y);
    for (std::size_t i = 1; i < dev_.size(); ++i) cairo_line_to(cr_, dev_[i].x, dev_[i].y);
    if (closed) cairo_close_path(cr_);
  }

  // Polygons go into the path all turning the same way (as marks do), so
  // that where they overlap the winding rule fills them, never a hole.
  void fill(std::span<const Ge_Pt> world) {
    if (!to_device(world) || !to_be_drawn(0)) return;
    double area = 0;
    for (std::size_t i = 0; i < dev_.size(); ++i) {
      const DevicePoint& a = dev_[i];
      const DevicePoint& b = dev_[(i + 1) % dev_.size()];
      area += a.x * b.y - b.x * a.y;
    }
    if (area < 0) std::reverse(dev_.begin(), dev_.end());
    begin(Pending::fill, dev_.size());
    cairo_move_to(cr_, dev_[0].x, dev_[0].y);
    for (std::size_t i = 1; i < dev_.size(); ++i) cairo_line_to(cr_, dev_[i].x, dev_[i].y);
    cairo_close_path(cr_);
  }

  void mark(const Ge_Pt& w) {
    const Ge_Pt at[1] = {w};
    const double radius = 1.5 * line_width_;
    if (!to_device(at) || !to_be_drawn(radius)) return;
    begin(Pending::fill, 4);
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, dev_[0].x, dev_[0].y, radius, 0, 2 * std::numbers::pi);
  }

  // Placed arcs may be elliptical; they are drawn as short chords, about one
  // every two pixels of their length. One wholly outside the picture is
  // passed over before its chords are made.
  void arc(const Ge_Pt& centre, double r, double start, double sweep, const Placement& p) {
    const double scale = std::sqrt(std::abs(p.xx * p.yy - p.xy * p.yx)) * view_.scale;
    const double length_px = std::abs(r) * sweep * scale;
    if (!std::isfinite(length_px)) return;
    const Ge_Pt c[1] = {p.apply(centre)};
    // The widest a placement stretches a radius, in pixels.
    const double reach =
        std::abs(r) * view_.scale * (std::hypot(p.xx, p.yx) + std::hypot(p.xy, p.yy)) + line_width_;
    if (to_device(c) && std::isfinite(reach) &&
        (box_.x0 + reach < 0 || box_.y0 + reach < 0 || box_.x0 - reach > view_.width_px ||
         box_.y0 - reach > view_.height_px))
      return;
    const int steps = static_cast<int>(std::clamp(length_px / 2, 8.0, 2048.0));
    charge(steps);
    world_.clear();
    world_.reserve(static_cast<std::size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
      const double t = start + sweep * i / steps;
      world_.push_back(p.apply({centre.x + r * std::cos(t), centre.y + r * std::sin(t), centre.z}));
    }
    stroke(world_, false);
  }

  // Glyphs one unit high, then scaled by the height (and the width factor
  // across), turned by the rotation and placed with the insert's placement.
  void text(const char* s, const Ge_Pt& at, double height, double rotation, double width_factor,
            const Placement& p, bool centred) {
    if (s == nullptr || *s == 0) return;
    const Placement own{std::cos(rotation) * width_factor * height,
                        std::sin(rotation) * width_factor * height,
                        -std::sin(rotation) * height,
                        std::cos(rotation) * height,
                        at.x,
                        at.y};
    const Placement w = p.then_inner(own);
    cairo_matrix_t m{w.xx * view_.scale, -w.yx * view_.scale, w.xy * view_.scale, -w.yy * view_.scale, 0, 0};
    double x, y;
    if (!device({w.x0, w.y0, 0}, x, y)) return;
    m.x0 = x;
    m.y0 = y;
    // Glyphs below a tenth of a pixel or beyond the picture are not drawn;
    // a singular matrix would put cairo in an error state.
    const double det = m.xx * m.yy - m.xy * m.yx;
    if (!std::isfinite(det) || std::abs(det) < 1e-2 || std::abs(det) > 1e12) return;
    const std::size_t length = std::strlen(s);
    charge(static_cast<long long>(length));
    // A text whose every glyph (at most its height wide each) lies beyond
    // the picture is not drawn.
    const double reach = (static_cast<double>(length) + 1) * std::sqrt(std::abs(det)) * std::max(1.0, std::abs(width_factor));
    if (x + reach < 0 || y + reach < 0 || x - reach > view_.width_px || y - reach > view_.height_px) return;
    flush();
    // Glyphs are drawn y down; the y flip of the view is undone.
    cairo_matrix_t flip;
    cairo_matrix_init_scale(&flip, 1, -1);
    cairo_matrix_multiply(&m, &flip, &m);
    cairo_save(cr_);
    cairo_set_matrix(cr_, &m);
    cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, 1.0);
    const std::string utf8 = options_.utf8(s);
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

  struct DevicePoint {
    double x, y;
  };
  struct Box {
    double x0, y0, x1, y1;
    void take(double x, double y) {
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  };

  cairo_t* cr_;
  const View& view_;
  const RenderOptions& options_;
  const LayerIndex& layers_;
  double line_width_;
  long long* charged_;
  Pending pending_ = Pending::none;
  long pending_points_ = 0;
  bool have_colour_ = false;
  Rgb colour_{0, 0, 0};
  std::vector<Ge_Pt> world_;     // a drawable's points, placed; reused
  std::vector<DevicePoint> dev_;  // the same on the picture; reused
  Box box_{0, 0, 0, 0};
  std::vector<uint64_t> seen_;           // a bit per pixel: drawn in this colour run
  std::vector<std::size_t> seen_words_;  // the words of seen_ that are not zero
};

struct SurfaceCloser {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextCloser {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

}  // namespace

bool render_drawing(const KT_Drawing& drawing, const RenderOptions& options, PictureFormat format,
                    const std::string& out_path, std::string& error, bool* cut) {
  const LayerIndex layers(drawing);
  WalkOptions walk;
  walk.shown = [&](const KT_Drawable& d) {
    const KT_Layer* layer = layers.find(d.layer);
    if (!layer) return options.layers.empty();
    if (!options.layers.empty()) return options.layers.count(options.utf8(layer->name)) != 0;
    return layer->on;
  };
  const View view = View::fit(model_space_extents(drawing, walk), options.width);

  std::unique_ptr<cairo_surface_t, SurfaceCloser> surface;
  switch (format) {
    case PictureFormat::png:
      surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, view.width_px, view.height_px));
      break;
    case PictureFormat::svg:
      surface.reset(cairo_svg_surface_create(out_path.c_str(), view.width_px, view.height_px));
      break;
    case PictureFormat::pdf:
      surface.reset(cairo_pdf_surface_create(out_path.c_str(), view.width_px, view.height_px));
      break;
  }
  std::unique_ptr<cairo_t, ContextCloser> cr(cairo_create(surface.get()));
  if (options.background) {
    const Rgb b = rgb_of_rrggbb(*options.background);
    cairo_set_source_rgb(cr.get(), b.r, b.g, b.b);
    cairo_paint(cr.get());
  }
  long long charged = 0;
  walk.budget = options.work_budget > 0 ? options.work_budget : kBaseWork;
  walk.charged = &charged;
  Painter painter(cr.get(), view, options, layers, &charged);
  const bool whole =
      walk_model_space(drawing, walk, [&](const KT_Drawable& d, const Placement& p) { painter.draw(d, p); });
  painter.finish();
  if (cut) *cut = !whole;

  cairo_status_t status = cairo_status(cr.get());
  cr.reset();
  if (status == CAIRO_STATUS_SUCCESS && format == PictureFormat::png)
    status = cairo_surface_write_to_png(surface.get(), out_path.c_str());
  cairo_surface_finish(surface.get());
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface.get());
  if (status != CAIRO_STATUS_SUCCESS) {
    error = cairo_status_to_string(status);
    return false;
  }
  return true;
}

}  // namespace kttrv::view
