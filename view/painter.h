// The model space's drawables as strokes, fills, dots and texts on a
// canvas (canvas.h), in the picture's coordinates, for one band of its rows
// or all of them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "view/canvas.h"
#include "view/covered_tiles.h"
#include "view/extents.h"
#include "view/geometry.h"
#include "view/layer_index.h"
#include "view/render_options.h"

namespace kttrv::view {

// World (y up) to picture (y down), fitted to the extents.
struct View {
  double scale = 1, x_min = 0, y_min = 0, margin = 0;
  int width_px = 0, height_px = 0;

  static View fit(const Extents& e, int width);
  double px(double x) const { return margin + (x - x_min) * scale; }
  double py(double y) const { return height_px - margin - (y - y_min) * scale; }
};

// Drawables hold 0x00BBGGRR. One that would vanish into the background is
// drawn in its opposite.
Rgb drawable_rgb(long value, const std::optional<uint32_t>& background);

// Rows [first, last) of the picture: what a painter puts on its canvas.
struct Band {
  int first = 0, last = 0;
};

// Draws the drawables as the walk gives them. Strokes and fills of one
// colour go into one path, drawn when the colour changes or the path grows
// long, so that the canvas works once per run instead of once per drawable.
// What lies wholly outside the band is passed over, and of what is smaller
// than a pixel only the first of one colour run in each pixel is drawn: a
// million drawables in one pixel cost one.
//
// A picture drawn band by band is the picture drawn whole, to the bit: where
// paths end, which drawables a pixel keeps, and the work charged are decided
// over every drawable the same way in each band, and only the canvas calls
// depend on the band.
class Painter {
 public:
  // inserts: the walk's (WalkOptions::inserts), for drawables by block.
  Painter(Canvas& canvas, const View& view, Band band, const RenderOptions& options, const LayerIndex& layers,
          const std::vector<const KT_Insert_Entity*>* inserts, long long* charged);

  // The colour value the drawable is drawn in: by layer (256) its layer's
  // colour as the drawing holds it now; by block (0) inside a block, the
  // colour of the insert that places it (through nested inserts); else
  // its own.
  long colour_value(const KT_Drawable& d) const { return colour_value(d, inserts_ ? inserts_->size() : 0); }

  // Drawn from the top down (the walk backwards, the canvas putting each
  // path under what is there): what falls only on covered tiles is passed
  // over, and the tiles drawn on are looked at again after each path.
  void draw_under(CoveredTiles* covered) { covered_ = covered; }
  // Only the work the drawables cost is charged; nothing is drawn.
  void only_charge() { charge_only_ = true; }

  void draw(const KT_Drawable& d, const Placement& p);
  // What is still in the path.
  void finish() { flush(); }

  void paint(const KT_Point_Entity& e, const Placement& p);
  void paint(const KT_Line_Entity& e, const Placement& p);
  void paint(const KT_Solid_Entity& e, const Placement& p);
  void paint(const KT_Circle_Entity& e, const Placement& p);
  void paint(const KT_Arc_Entity& e, const Placement& p);
  void paint(const KT_Text_Entity& e, const Placement& p);
  void paint(const KT_Insert_Entity& e, const Placement& p);
  void paint(const KT_Dimension_Entity& e, const Placement& p);
  void paint(const KT_Vertex_Entity& e, const Placement& p);

 private:
  enum class Pending { none, stroke, fill };
  struct DevicePoint {
    double x, y;
  };
  struct Box {
    double x0, y0, x1, y1;
    void take(double x, double y);
  };

  long colour_value(const KT_Drawable& d, std::size_t depth) const;
  void charge(long long units) {
    if (charged_ != nullptr) *charged_ += units;
  }
  void use_colour(const Rgb& c);
  void ink();  // the canvas takes the colour before the path's first drawable
  void flush();
  void account(Pending mode, std::size_t points);
  bool device(const Ge_Pt& w, double& x, double& y) const;
  bool to_device(std::span<const Ge_Pt> world);
  void thin_out();
  bool outside_band(const Box& box, double reach) const;
  bool to_be_drawn(double reach);
  bool hidden_path(bool closed) const;
  void put_path(bool closed);
  void put_stroke_under(bool closed);
  void stroke(std::span<const Ge_Pt> world, bool closed, bool charge_length = true);
  void fill(std::span<const Ge_Pt> world);
  void mark(const Ge_Pt& w);
  void arc(const Ge_Pt& centre, double r, double start, double sweep, const Placement& p);
  void text(const char* s, const Ge_Pt& at, double height, double rotation, double width_factor, const Placement& p,
            bool centred);

  Canvas& canvas_;
  const View& view_;
  Band band_;
  const RenderOptions& options_;
  const LayerIndex& layers_;
  const std::vector<const KT_Insert_Entity*>* inserts_;
  double line_width_;
  long long* charged_;
  CoveredTiles* covered_ = nullptr;
  // The path as every band decides it, and whether this band put anything in it.
  Pending pending_ = Pending::none;
  std::size_t pending_points_ = 0;
  bool path_has_ink_ = false;
  bool have_colour_ = false;
  bool canvas_has_colour_ = false;
  bool charge_only_ = false;
  Rgb colour_{0, 0, 0};
  std::vector<Ge_Pt> world_;     // a drawable's points, placed; reused
  std::vector<DevicePoint> dev_;  // the same on the picture; reused
  Box box_{0, 0, 0, 0};
  // A bit per pixel of the rows [seen_first_, seen_last_): drawn in this
  // colour run; the band with a margin wider than any mark's reach.
  int seen_first_ = 0, seen_last_ = 0;
  std::vector<uint64_t> seen_;
  std::vector<std::size_t> seen_words_;  // the words of seen_ that are not zero
};

}  // namespace kttrv::view
