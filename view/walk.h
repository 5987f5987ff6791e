// The model space as it is seen: every drawable with the placement that
// puts it there, inserts expanded through their blocks. Shared by the
// extents (extents.h) and the picture (render.h).
#pragma once

#include <functional>
#include <vector>

#include "view/geometry.h"

namespace kttrv::view {

// Inserts nest at most this deep; a block is never entered again inside
// itself, so a block that inserts itself ends there.
inline constexpr int kMaxInsertDepth = 16;
// A walk stops after visiting this many drawables (nested blocks multiply).
inline constexpr long kMaxVisits = 4'000'000;

// What a walk that draws may do, in units of work: one per drawable it
// visits, one per vertex, and what the visitor charges for what it made
// of it (a chord of an arc, a glyph, 16 pixels of a stroke). Inserts multiply their blocks, so a
// few kilobytes of nested inserts could ask for years of work; the budget
// grows with the file, so that every drawing a file spells out is drawn
// whole, and a blow-up stops within seconds per megabyte.
inline constexpr long long kBaseWork = 8'000'000;
inline constexpr long long kWorkPerFileByte = 4;
inline constexpr long long work_budget(unsigned long long file_bytes) {
  return kBaseWork + kWorkPerFileByte * static_cast<long long>(file_bytes);
}

struct WalkOptions {
  // Drawables (inserts included) for which this is false are left out, an
  // insert with its block. Null: every drawable.
  std::function<bool(const KT_Drawable&)> shown;
  // Units of work (see above); 0: only the drawable count (kMaxVisits)
  // limits the walk.
  long long budget = 0;
  // Where the visitor adds what it charges for the drawable it was given
  // (read and reset after each visit); null: nothing.
  long long* charged = nullptr;
  // When given, kept as the inserts that place the drawable being visited,
  // outermost first (empty in the model space), for a visitor that
  // resolves what a drawable takes from its insert ("by block").
  std::vector<const KT_Insert_Entity*>* inserts = nullptr;
  // When given and the walk is cut short: where it stopped, as the place in
  // its list (every drawable counted, shown or not) at each depth,
  // outermost first: the inserts it was inside, then the drawable it did
  // not visit. Left empty by a whole walk.
  std::vector<std::size_t>* stopped_at = nullptr;
};

// Calls visit for every shown drawable of the model space and, for each
// insert, after it the drawables of its block. False when the visit limit
// (or the work budget) cut the walk short.
bool walk_model_space(const KT_Drawing& drawing, const WalkOptions& options,
                      const std::function<void(const KT_Drawable&, const Placement&)>& visit);

// The same visits in the opposite order (a block's drawables before the
// insert that places them, the last drawable first), of the drawables a
// walk stopped at `stopped_at` (a cut walk's WalkOptions::stopped_at) had
// visited; null or empty: of a whole walk. The budget is not consulted:
// the forward walk decided what is visited.
void walk_model_space_backwards(const KT_Drawing& drawing, const WalkOptions& options,
                                const std::vector<std::size_t>* stopped_at,
                                const std::function<void(const KT_Drawable&, const Placement&)>& visit);

}  // namespace kttrv::view
