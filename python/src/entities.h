// The entity views' shared pieces: colours, boxes, placements, what a
// drawable's stored record holds.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "document.h"
#include "view/extents.h"
#include "view/geometry.h"
#include "view/stored_entity.h"

namespace ktpy {

// A colour as a drawable or layer holds it: the value (0x00BBGGRR) and the
// colour number it stands for (256 by layer, 0 by block, 1..255 the
// palette; none when unknown).
struct Color {
  long value = 0;
  std::optional<int> number;
};

// What a walk covers: None in Python when empty.
struct Box {
  Ge_Pt min, max;
  bool complete = true;  // false: the walk it came from stopped at its limit
};
// e as a Box (its complete: not e.cut), or None when empty.
py::object box_or_none(const kttrv::view::Extents& e);

// The stored record of a drawable, read back; nullopt when the load kept none.
std::optional<kttrv::view::StoredEntity> stored_of(const EntityRef& e);

// The number of a layer given as a Layer, a name or a number (ValueError
// when no layer has that name, IndexError when there is no such number).
long layer_number_of(const DocPtr& doc, const py::handle& layer);

// Sets a drawable's colour from a number (0..256) or a Color.
void set_color(const EntityRef& e, const py::handle& value);

// A walk through a list with placements, inserts through their blocks (at
// most kMaxInsertDepth deep, a block never inside itself, at most
// kMaxVisits drawables and the drawing's work budget: a drawable or a
// vertex one unit each). False when it stopped at the limit.
struct Walk {
  Walk(Document& d, std::function<void(KT_Drawable*, KT_Block*, const kttrv::view::Placement&)> v)
      : doc(d), visit(std::move(v)), budget(walk_budget(d)) {}
  Document& doc;
  std::function<void(KT_Drawable*, KT_Block* owner, const kttrv::view::Placement&)> visit;
  std::vector<const KT_Block*> open;
  long visits = 0;
  long long budget = 0;  // 0: none
  long long work = 0;

  bool one(KT_Drawable* d, KT_Block* owner, const kttrv::view::Placement& placement, int depth);
  bool list(const KT_Entity_List& entities, KT_Block* owner, const kttrv::view::Placement& placement, int depth);
};

// A walk's visits as a kttrv.Walked (a list of (entity, Placement) whose
// complete is false when the walk stopped at its limit); warns then too.
py::list placed_list(const DocPtr& doc, const std::function<bool(Walk&)>& run);

}  // namespace ktpy
