// A drawable as its own type: the one place where a drawable's kind picks
// its layout (kernel/kt_drawables.h).
#pragma once

#include "kernel/kt_drawables.h"

namespace kttrv::view {

// Calls visitor with d as the type its kind gives: KT_Point_Entity,
// KT_Line_Entity, KT_Solid_Entity, KT_Circle_Entity, KT_Arc_Entity,
// KT_Text_Entity, KT_Insert_Entity, KT_Dimension_Entity or KT_Vertex_Entity
// (polylines and point sets alike; its kind tells them apart). A kind the
// kernel does not define calls nothing.
template <class Visitor>
void visit(const KT_Drawable& d, Visitor&& visitor) {
  switch (d.kind) {
    case KT_Drawable_Kind::point: visitor(static_cast<const KT_Point_Entity&>(d)); return;
    case KT_Drawable_Kind::line: visitor(static_cast<const KT_Line_Entity&>(d)); return;
    case KT_Drawable_Kind::solid: visitor(static_cast<const KT_Solid_Entity&>(d)); return;
    case KT_Drawable_Kind::circle: visitor(static_cast<const KT_Circle_Entity&>(d)); return;
    case KT_Drawable_Kind::arc: visitor(static_cast<const KT_Arc_Entity&>(d)); return;
    case KT_Drawable_Kind::text: visitor(static_cast<const KT_Text_Entity&>(d)); return;
    case KT_Drawable_Kind::insert: visitor(static_cast<const KT_Insert_Entity&>(d)); return;
    case KT_Drawable_Kind::dimension: visitor(static_cast<const KT_Dimension_Entity&>(d)); return;
    case KT_Drawable_Kind::polyline:
    case KT_Drawable_Kind::point_set: visitor(static_cast<const KT_Vertex_Entity&>(d)); return;
  }
}

// The insert d is, or null: walks test every drawable for this alone.
inline const KT_Insert_Entity* as_insert(const KT_Drawable& d) {
  return d.kind == KT_Drawable_Kind::insert ? &static_cast<const KT_Insert_Entity&>(d) : nullptr;
}

// Lambdas as one visitor: visit(d, Overloads{[](const KT_Line_Entity&) {}, [](const auto&) {}}).
template <class... F>
struct Overloads : F... {
  using F::operator()...;
};
template <class... F>
Overloads(F...) -> Overloads<F...>;

}  // namespace kttrv::view
