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

}  // namespace kttrv::view
