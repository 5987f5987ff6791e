// The extents of the model space: the box its drawables cover once placed,
// inserts through their blocks, as trv info gives it and the picture is
// fitted to.
#pragma once

#include <algorithm>
#include <cmath>

#include "view/walk.h"

namespace kttrv::view {

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

// The walk's extents (walk_model_space's visits, to the bit the sum of
// Extents::add over them), worked out block by block rather than drawable
// by drawable.
Extents model_space_extents(const KT_Drawing& drawing, const WalkOptions& options = {});

// std::fmod(x, 2 pi), the same value, faster for the angles arcs have.
double remainder_of_turns(double x);

}  // namespace kttrv::view
