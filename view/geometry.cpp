#include "view/geometry.h"

#include <cmath>

namespace kttrv::view {

Placement Placement::of_insert(const KT_Insert_Entity& insert, const Ge_Pt& base) {
  const double c = std::cos(insert.rotation);
  const double s = std::sin(insert.rotation);
  const double sx = insert.scale[0];
  const double sy = insert.scale[1];
  Placement p;
  p.xx = c * sx;
  p.yx = s * sx;
  p.xy = -s * sy;
  p.yy = c * sy;
  p.x0 = insert.at.x - (p.xx * base.x + p.xy * base.y);
  p.y0 = insert.at.y - (p.yx * base.x + p.yy * base.y);
  return p;
}

DimensionLines dimension_lines(const KT_Dimension_Entity& e) {
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
