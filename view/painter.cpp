#include "view/painter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "kernel/kt_carried.h"
#include "view/drawables.h"
#include "view/stored_entity.h"

namespace kttrv::view {

namespace {

constexpr double kMargin = 0.05;  // of the width, on every side
constexpr double kMaxCoordinate = 1e7;
constexpr long kMaxPixels = 64L * 1024 * 1024;  // device units; cairo's fixed point ends not far beyond
// Paths longer than this are drawn and a new one begun.
constexpr std::size_t kBatchPoints = 1024;

}  // namespace

View View::fit(const Extents& e, int width) {
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

Rgb drawable_rgb(long value, const std::optional<uint32_t>& background) {
  const auto v = static_cast<uint32_t>(value) & 0xFFFFFFu;
  const uint32_t rrggbb = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
  if (background && rrggbb == *background) return rgb_of_rrggbb(~rrggbb & 0xFFFFFF);
  return rgb_of_rrggbb(rrggbb);
}

void Painter::Box::take(double x, double y) {
  x0 = std::min(x0, x);
  y0 = std::min(y0, y);
  x1 = std::max(x1, x);
  y1 = std::max(y1, y);
}

Painter::Painter(Canvas& canvas, const View& view, Band band, const RenderOptions& options, const LayerIndex& layers,
                 const std::vector<const KT_Insert_Entity*>* inserts, long long* charged)
    : canvas_(canvas), view_(view), band_(band), options_(options), layers_(layers), inserts_(inserts),
      line_width_(std::max(1.0, view.width_px / 1000.0)), charged_(charged) {
  // The widest a mark or stroke reaches beyond its points, and a pixel more.
  const int margin = static_cast<int>(std::ceil(1.5 * line_width_)) + 4;
  seen_first_ = std::max(0, band.first - margin);
  seen_last_ = std::min(view.height_px, band.last + margin);
  const std::size_t pixels =
      static_cast<std::size_t>(std::max(0, seen_last_ - seen_first_)) * static_cast<std::size_t>(view.width_px);
  seen_.assign((pixels + 63) / 64, 0);
  canvas_.line_style(line_width_, LineCap::round);
}

long Painter::colour_value(const KT_Drawable& d, std::size_t depth) const {
  if (d.color_number == 256)
    if (const KT_Layer* layer = layers_.find(d.layer)) return layer->color;
  if (d.color_number == 0 && depth > 0) return colour_value(*(*inserts_)[depth - 1], depth - 1);
  return d.color;
}

void Painter::draw(const KT_Drawable& d, const Placement& p) {
  if (!charge_only_) use_colour(drawable_rgb(colour_value(d), options_.background));
  visit(d, [this, &p](const auto& e) { paint(e, p); });
}

void Painter::use_colour(const Rgb& c) {
  if (have_colour_ && c == colour_) return;
  flush();
  // The canvas is told when something is drawn in it.
  colour_ = c;
  have_colour_ = true;
  canvas_has_colour_ = false;
  // A pixel seen in another colour may be drawn again in this one.
  for (const std::size_t word : seen_words_) seen_[word] = 0;
  seen_words_.clear();
}

void Painter::ink() {
  if (canvas_has_colour_) return;
  canvas_.colour(colour_);
  canvas_has_colour_ = true;
}

void Painter::flush() {
  if (path_has_ink_) {
    if (pending_ == Pending::stroke) canvas_.stroke();
    else canvas_.fill();
    if (covered_ != nullptr) covered_->update();
  }
  pending_ = Pending::none;
  pending_points_ = 0;
  path_has_ink_ = false;
}

// Where paths end is decided by every drawable placed, drawn in this band
// or not, so that each band ends them at the same drawables.
void Painter::account(Pending mode, std::size_t points) {
  if (pending_ != mode || pending_points_ + points > kBatchPoints) flush();
  pending_ = mode;
  pending_points_ += points;
}

void Painter::paint(const KT_Point_Entity& e, const Placement& p) { mark(p.apply(e.at)); }

void Painter::paint(const KT_Line_Entity& e, const Placement& p) {
  const Ge_Pt v[2] = {p.apply(e.start), p.apply(e.end)};
  stroke(v, false);
}

void Painter::paint(const KT_Solid_Entity& e, const Placement& p) {
  Ge_Pt corners[4];
  std::size_t n = 0;
  for (int i = 0; i < e.count && i < 4; ++i) corners[n++] = p.apply(e.corners[i]);
  fill({corners, n});
}

void Painter::paint(const KT_Circle_Entity& e, const Placement& p) {
  arc(e.centre, e.radius, 0, 2 * std::numbers::pi, p);
}

void Painter::paint(const KT_Arc_Entity& e, const Placement& p) {
  double sweep = std::fmod(e.end_angle - e.start_angle, 2 * std::numbers::pi);
  if (sweep <= 0) sweep += 2 * std::numbers::pi;
  arc(e.centre, e.radius, e.start_angle, sweep, p);
}

void Painter::paint(const KT_Text_Entity& e, const Placement& p) {
  text(e.text, e.at, e.height, e.rotation, e.width_factor, p, false);
}

// Its block's drawables follow; the values of its attribute records are
// written where they stand.
void Painter::paint(const KT_Insert_Entity& e, const Placement& p) {
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
void Painter::paint(const KT_Dimension_Entity& e, const Placement& p) {
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
  const char* label = e.strings[0];
  if (label == nullptr || *label == 0) {
    std::snprintf(measured, sizeof measured, "%.2f", length);
    label = measured;
  }
  const double h = 0.018 * view_.width_px / view_.scale;  // one size for every dimension
  const double angle = std::atan2(dy, dx);
  const Ge_Pt mid{(l.a_on_line.x + l.b_on_line.x) / 2 - std::sin(angle) * h * 0.3,
                  (l.a_on_line.y + l.b_on_line.y) / 2 + std::cos(angle) * h * 0.3, 0};
  text(label, mid, h, angle, 1.0, p, /*centred=*/true);
}

void Painter::paint(const KT_Vertex_Entity& e, const Placement& p) {
  world_.clear();
  for (long i = 0; i < e.count; ++i) world_.push_back(p.apply(e.vertices[i]));
  stroke(world_, e.closed);
}

// Device coordinates, or false when they are not finite or far outside.
bool Painter::device(const Ge_Pt& w, double& x, double& y) const {
  x = view_.px(w.x);
  y = view_.py(w.y);
  return std::isfinite(x) && std::isfinite(y) && std::abs(x) < kMaxCoordinate && std::abs(y) < kMaxCoordinate;
}

// The points in device coordinates (dev_) with their box; false when one
// cannot be placed (the drawable is then not drawn).
bool Painter::to_device(std::span<const Ge_Pt> world) {
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

// Whether what has the box lies wholly outside the band's rows (or the
// picture's width), by more than `reach`: what a stroke or mark adds around it.
bool Painter::outside_band(const Box& box, double reach) const {
  return box.x1 < -reach || box.y1 < band_.first - reach || box.x0 > view_.width_px + reach ||
         box.y0 > band_.last + reach;
}

// Whether what has the box (box_) is to be drawn: not when it lies wholly
// outside the band, nor when it is smaller than a pixel in a pixel already
// drawn in this colour. Which small drawables a pixel keeps is decided by
// its pixel alone, the same in every band that can show it.
bool Painter::to_be_drawn(double reach) {
  if (box_.x1 - box_.x0 < 1 && box_.y1 - box_.y0 < 1) {
    const double cx = (box_.x0 + box_.x1) / 2, cy = (box_.y0 + box_.y1) / 2;
    if (cx >= 0 && cy >= 0 && cx < view_.width_px && cy < view_.height_px) {
      const int row = static_cast<int>(cy);
      if (row < seen_first_ || row >= seen_last_) return false;
      const std::size_t pixel = static_cast<std::size_t>(row - seen_first_) * static_cast<std::size_t>(view_.width_px) +
                                static_cast<std::size_t>(cx);
      uint64_t& word = seen_[pixel / 64];
      const uint64_t bit = uint64_t{1} << (pixel % 64);
      if (word & bit) return false;
      if (word == 0) seen_words_.push_back(pixel / 64);
      word |= bit;
    }
  }
  return !outside_band(box_, reach);
}

// How far a stroke's pixels reach from its points: half its width, and a
// pixel of antialiasing.
static double stroke_reach(double line_width) { return line_width / 2 + 1; }

// Whether the path in dev_ falls only on covered tiles.
bool Painter::hidden_path(bool closed) const {
  const double reach = stroke_reach(line_width_);
  if (dev_.size() == 1) return covered_->hides_segment(dev_[0].x, dev_[0].y, dev_[0].x, dev_[0].y, reach);
  for (std::size_t i = 1; i < dev_.size(); ++i)
    if (!covered_->hides_segment(dev_[i - 1].x, dev_[i - 1].y, dev_[i].x, dev_[i].y, reach)) return false;
  return !closed || covered_->hides_segment(dev_.back().x, dev_.back().y, dev_[0].x, dev_[0].y, reach);
}

namespace {

// The part of the segment a-b inside the box (Liang and Barsky's clip);
// false when none is.
bool clip_segment(double& ax, double& ay, double& bx, double& by, const CoveredTiles::Box& box) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax - box.x0, box.x1 - ax, ay - box.y0, box.y1 - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, t);
    else t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  const double x0 = ax + t0 * dx, y0 = ay + t0 * dy, x1 = ax + t1 * dx, y1 = ay + t1 * dy;
  ax = x0;
  ay = y0;
  bx = x1;
  by = y1;
  return true;
}

}  // namespace

// A stroke drawn under: each segment only where it can show, cut to the
// tiles within its reach that are not covered, and those widened by its
// reach. With round caps and joins a stroke is every point within half its
// width of its path, so on those tiles the pieces draw what the whole
// would; cairo then works on the pieces alone.
void Painter::put_stroke_under(bool closed) {
  const double reach = stroke_reach(line_width_);
  const std::size_t n = dev_.size();
  ink();
  if (n == 1) {
    covered_->drawing_segment(dev_[0].x, dev_[0].y, dev_[0].x, dev_[0].y, reach);
    canvas_.move_to(dev_[0].x, dev_[0].y);
    path_has_ink_ = true;
    return;
  }
  // Where the path ends, when the next piece may go on from there.
  bool pen_at = false;
  DevicePoint pen{0, 0};
  for (std::size_t i = 1; i < n + (closed ? 1 : 0); ++i) {
    const DevicePoint& a = dev_[i - 1];
    const DevicePoint& b = dev_[i % n];
    CoveredTiles::Box open;
    if (!covered_->drawing_segment(a.x, a.y, b.x, b.y, reach, &open)) {
      pen_at = false;
      continue;
    }
    open = {open.x0 - reach - 1, open.y0 - reach - 1, open.x1 + reach + 1, open.y1 + reach + 1};
    double ax = a.x, ay = a.y, bx = b.x, by = b.y;
    if (!clip_segment(ax, ay, bx, by, open)) {
      pen_at = false;
      continue;
    }
    if (!pen_at || pen.x != ax || pen.y != ay) canvas_.move_to(ax, ay);
    canvas_.line_to(bx, by);
    pen = {bx, by};
    pen_at = true;
    path_has_ink_ = true;
  }
}

void Painter::put_path(bool closed) {
  ink();
  canvas_.move_to(dev_[0].x, dev_[0].y);
  for (std::size_t i = 1; i < dev_.size(); ++i) canvas_.line_to(dev_[i].x, dev_[i].y);
  if (closed) canvas_.close_path();
  path_has_ink_ = true;
}

// A stroke's inner points closer than a quarter of a pixel (across or down)
// to the last point kept are left out: the line moves by less than its
// antialiasing shows, and a long polyline costs what it spans on the
// picture, not its vertex count. The first and last points stay, and every
// band drops the same points (they are the picture's coordinates).
void Painter::thin_out() {
  constexpr double kQuarterPixel = 0.25;
  if (dev_.size() <= 2) return;
  std::size_t kept = 1;
  for (std::size_t i = 1; i + 1 < dev_.size(); ++i) {
    const DevicePoint& last = dev_[kept - 1];
    if (std::abs(dev_[i].x - last.x) < kQuarterPixel && std::abs(dev_[i].y - last.y) < kQuarterPixel) continue;
    dev_[kept++] = dev_[i];
  }
  dev_[kept++] = dev_.back();
  dev_.resize(kept);
}

// A stroke costs cairo about what it covers: one unit of work (about what a
// vertex costs it) for every 16 pixels of its length. An arc charges its
// own before it is made, the same in every band, drawn there or not.
constexpr double kPixelsAUnit = 16;

void Painter::stroke(std::span<const Ge_Pt> world, bool closed, bool charge_length) {
  if (!to_device(world)) return;
  if (charge_length) {
    double length = 0;
    for (std::size_t i = 1; i < dev_.size(); ++i)
      length += std::max(std::abs(dev_[i].x - dev_[i - 1].x), std::abs(dev_[i].y - dev_[i - 1].y));
    if (closed && dev_.size() > 2)
      length += std::max(std::abs(dev_.back().x - dev_[0].x), std::abs(dev_.back().y - dev_[0].y));
    charge(static_cast<long long>(length / kPixelsAUnit));
  }
  if (charge_only_) return;
  thin_out();
  account(Pending::stroke, dev_.size());
  if (!to_be_drawn(line_width_)) return;
  if (covered_ == nullptr) put_path(closed);
  else if (!hidden_path(closed)) put_stroke_under(closed);
}

// Polygons go into the path all turning the same way (as marks do), so
// that where they overlap the winding rule fills them, never a hole.
void Painter::fill(std::span<const Ge_Pt> world) {
  if (charge_only_ || !to_device(world)) return;
  account(Pending::fill, dev_.size());
  if (!to_be_drawn(0)) return;
  if (covered_ != nullptr) {
    // A pixel of antialiasing around it.
    if (covered_->hides_box(box_.x0 - 1, box_.y0 - 1, box_.x1 + 1, box_.y1 + 1)) return;
    covered_->drawing_box(box_.x0 - 1, box_.y0 - 1, box_.x1 + 1, box_.y1 + 1);
  }
  double area = 0;
  for (std::size_t i = 0; i < dev_.size(); ++i) {
    const DevicePoint& a = dev_[i];
    const DevicePoint& b = dev_[(i + 1) % dev_.size()];
    area += a.x * b.y - b.x * a.y;
  }
  if (area < 0) std::reverse(dev_.begin(), dev_.end());
  put_path(true);
}

void Painter::mark(const Ge_Pt& w) {
  const Ge_Pt at[1] = {w};
  const double radius = 1.5 * line_width_;
  if (charge_only_ || !to_device(at)) return;
  account(Pending::fill, 4);
  if (!to_be_drawn(radius)) return;
  if (covered_ != nullptr) {
    const double r = radius + 1, x = dev_[0].x, y = dev_[0].y;
    if (covered_->hides_box(x - r, y - r, x + r, y + r)) return;
    covered_->drawing_box(x - r, y - r, x + r, y + r);
  }
  ink();
  canvas_.circle(dev_[0].x, dev_[0].y, radius);
  path_has_ink_ = true;
}

// Placed arcs may be elliptical; they are drawn as short chords, about one
// every two pixels of their length. One wholly outside the picture is
// passed over before its chords are made; one outside the band only counts
// its chords, when each of them could be placed.
void Painter::arc(const Ge_Pt& centre, double r, double start, double sweep, const Placement& p) {
  const double scale = std::sqrt(std::abs(p.xx * p.yy - p.xy * p.yx)) * view_.scale;
  const double length_px = std::abs(r) * sweep * scale;
  if (!std::isfinite(length_px)) return;
  // The widest a placement stretches a radius, in pixels.
  const double reach = std::abs(r) * view_.scale * (std::hypot(p.xx, p.yx) + std::hypot(p.xy, p.yy)) + line_width_;
  double cx = 0, cy = 0;
  const bool placed = device(p.apply(centre), cx, cy) && std::isfinite(reach);
  if (placed && (cx + reach < 0 || cy + reach < 0 || cx - reach > view_.width_px || cy - reach > view_.height_px))
    return;
  // Chords no farther than a tenth of a pixel from the arc (cairo's own
  // tolerance) on its widest radius: a chord of angle a on a radius of R
  // pixels strays R (1 - cos(a / 2)) from it.
  constexpr double kTolerancePx = 0.1;
  const double widest_px = std::abs(r) * view_.scale * std::max(std::hypot(p.xx, p.yx), std::hypot(p.xy, p.yy));
  const double chord_angle =
      widest_px > kTolerancePx ? 2 * std::acos(1 - kTolerancePx / widest_px) : 2 * std::numbers::pi;
  const double wanted = std::abs(sweep) / chord_angle;
  const int steps = static_cast<int>(std::clamp(std::isfinite(wanted) ? std::ceil(wanted) : 2048.0, 8.0, 2048.0));
  // Its chords, and its length as a stroke charges it.
  charge(steps + static_cast<long long>(std::min(length_px, 1e12) / kPixelsAUnit));
  if (charge_only_) return;
  // A small arc on opaque pixels only, drawn under them, is not made.
  const bool small = reach < 4 * CoveredTiles::kTile;
  if (placed && std::abs(cx) + reach < kMaxCoordinate && std::abs(cy) + reach < kMaxCoordinate &&
      (outside_band({cx, cy, cx, cy}, reach) ||
       (small && covered_ != nullptr &&
        covered_->hides_box(cx - reach - 1, cy - reach - 1, cx + reach + 1, cy + reach + 1)))) {
    account(Pending::stroke, static_cast<std::size_t>(steps) + 1);
    return;
  }
  world_.clear();
  world_.reserve(static_cast<std::size_t>(steps) + 1);
  for (int i = 0; i <= steps; ++i) {
    const double t = start + sweep * i / steps;
    world_.push_back(p.apply({centre.x + r * std::cos(t), centre.y + r * std::sin(t), centre.z}));
  }
  stroke(world_, false, /*charge_length=*/false);
}

// Glyphs one unit high, then scaled by the height (and the width factor
// across), turned by the rotation and placed with the insert's placement.
void Painter::text(const char* s, const Ge_Pt& at, double height, double rotation, double width_factor,
                   const Placement& p, bool centred) {
  if (s == nullptr || *s == 0) return;
  const Placement own{std::cos(rotation) * width_factor * height,
                      std::sin(rotation) * width_factor * height,
                      -std::sin(rotation) * height,
                      std::cos(rotation) * height,
                      at.x,
                      at.y};
  const Placement w = p.then_inner(own);
  TextMatrix m{w.xx * view_.scale, -w.yx * view_.scale, w.xy * view_.scale, -w.yy * view_.scale, 0, 0};
  if (!device({w.x0, w.y0, 0}, m.x0, m.y0)) return;
  // Glyphs below a tenth of a pixel or beyond the picture are not drawn;
  // a singular matrix would put cairo in an error state.
  const double det = m.xx * m.yy - m.xy * m.yx;
  if (!std::isfinite(det) || std::abs(det) < 1e-2 || std::abs(det) > 1e12) return;
  const std::size_t length = std::strlen(s);
  charge(static_cast<long long>(length));
  if (charge_only_) return;
  // A text whose every glyph (at most its height wide each) lies beyond
  // the picture is not drawn.
  const double reach =
      (static_cast<double>(length) + 1) * std::sqrt(std::abs(det)) * std::max(1.0, std::abs(width_factor));
  const double x = m.x0, y = m.y0;
  if (x + reach < 0 || y + reach < 0 || x - reach > view_.width_px || y - reach > view_.height_px) return;
  flush();
  if (outside_band({x, y, x, y}, reach)) return;
  if (covered_ != nullptr && covered_->hides_box(x - reach, y - reach, x + reach, y + reach)) return;
  if (covered_ != nullptr) covered_->drawing_box(x - reach, y - reach, x + reach, y + reach);
  ink();
  canvas_.text(options_.utf8(s), m, centred);
  if (covered_ != nullptr) covered_->update();
}

}  // namespace kttrv::view
