// The model space as it is seen: every drawable with the placement that
// puts it there, inserts expanded through their blocks. Shared by the
// extents (extents.h) and the picture (render.h).
#pragma once

#include <functional>

#include "view/geometry.h"

namespace kttrv::view {

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

}  // namespace kttrv::view
