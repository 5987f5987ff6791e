// The model space as it is seen: every drawable with the placement that
// puts it there, inserts expanded through their blocks. Shared by trv info
// (extents) and trv render.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>

#include "kernel/kt_drawables.h"

namespace trv {

// x' = xx x + xy y + x0, y' = yx x + yy y + y0; z is kept as it is.
struct Placement {
  double xx = 1, yx = 0, xy = 0, yy = 1, x0 = 0, y0 = 0;

  Ge_Pt apply(const Ge_Pt& p) const { return {xx * p.x + xy * p.y + x0, yx * p.x + yy * p.y + y0, p.z}; }
  // This placement after inner: inner first, then this.
  Placement then_inner(const Placement& inner) const;
  // What an insert does to its block's drawables: base point to the origin,
  // scales, rotation, then to the insertion point.
  static Placement of_insert(const KT_Insert_Entity& insert, const Ge_Pt& block_base);
};

// Inserts nest at most this deep; a block is never entered again inside
// itself, so a block that inserts itself ends there.
inline constexpr int kMaxInsertDepth = 16;
// A walk stops after visiting this many drawables (nested blocks multiply).
inline constexpr long kMaxVisits = 4'000'000;

struct WalkOptions {
  // Drawables (inserts included) for which this is false are left out, an
  // insert with its block. Null: every drawable.
  std::function<bool(const KT_Drawable&)> shown;
};

// Calls visit for every shown drawable of the model space and, for each
// insert, after it the drawables of its block. False when the visit limit
// cut the walk short.
bool walk_model_space(const KT_Drawing& drawing, const WalkOptions& options,
                      const std::function<void(const KT_Drawable&, const Placement&)>& visit);

// A dimension as it is drawn: its measured points (the second and third),
// and their images on the line through the first point parallel to them.
// With both measured points equal there is no line: all four are that point.
struct DimensionLines {
  Ge_Pt a, b, a_on_line, b_on_line;
};
DimensionLines dimension_lines(const KT_Dimension_Entity& e);

// Minimum and maximum x, y and z over a walk.
struct Extents {
  Ge_Pt min{0, 0, 0};
  Ge_Pt max{0, 0, 0};
  bool empty = true;
  // The walk stopped at kMaxVisits: what comes after is not in the extents.
  bool cut = false;

  void add(const Ge_Pt& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    if (empty) {
      min = max = p;
      empty = false;
      return;
    }
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
  }
  // What the drawable covers once placed (texts: their insertion point;
  // dimensions: their measured points and dimension line).
  void add(const KT_Drawable& d, const Placement& placement);
};

Extents model_space_extents(const KT_Drawing& drawing, const WalkOptions& options = {});

// std::fmod(x, 2 pi), the same value, faster for the angles arcs have.
double remainder_of_turns(double x);

}  // namespace trv
