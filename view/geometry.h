// Where a drawable lands: the placement an insert gives its block's
// drawables, and the lines a dimension is drawn with.
#pragma once

#include <cmath>

#include "kernel/kt_drawables.h"

namespace kttrv::view {

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

// Inline, with dimension_lines: the extents walk takes them for every insert
// and dimension it meets.
inline Placement Placement::then_inner(const Placement& in) const {
  Placement r;
  r.xx = xx * in.xx + xy * in.yx;
  r.yx = yx * in.xx + yy * in.yx;
  r.xy = xx * in.xy + xy * in.yy;
  r.yy = yx * in.xy + yy * in.yy;
  r.x0 = xx * in.x0 + xy * in.y0 + x0;
  r.y0 = yx * in.x0 + yy * in.y0 + y0;
  return r;
}

// A dimension as it is drawn: its measured points (the second and third),
// and their images on the line through the first point parallel to them.
// With both measured points equal there is no line: all four are that point.
struct DimensionLines {
  Ge_Pt a, b, a_on_line, b_on_line;
};

inline DimensionLines dimension_lines(const KT_Dimension_Entity& e) {
  const Ge_Pt& a = e.points[1];
  const Ge_Pt& b = e.points[2];
  const Ge_Pt& through = e.points[0];
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  if (!(length2 > 0) || !std::isfinite(length2)) return {a, b, a, b};
  // The offset of the line through `through` along the normal of a-b.
  const double k = ((through.x - a.x) * -dy + (through.y - a.y) * dx) / length2;
  const double ox = -dy * k, oy = dx * k;
  return {a, b, {a.x + ox, a.y + oy, a.z}, {b.x + ox, b.y + oy, b.z}};
}

}  // namespace kttrv::view
