// The names of drawable kinds, as the dump and trv info give them.
#pragma once

#include <string_view>

#include "kernel/zirida.h"

namespace kttrv::view {

// "point", "line", ..., "point_set"; "unknown" for a kind the kernel does
// not define. Inline and constexpr: the dump writes a known kind's name as
// a constant.
constexpr std::string_view kind_name(KT_Drawable_Kind kind) {
  switch (kind) {
    case KT_Drawable_Kind::point: return "point";
    case KT_Drawable_Kind::line: return "line";
    case KT_Drawable_Kind::solid: return "solid";
    case KT_Drawable_Kind::circle: return "circle";
    case KT_Drawable_Kind::arc: return "arc";
    case KT_Drawable_Kind::text: return "text";
    case KT_Drawable_Kind::insert: return "insert";
    case KT_Drawable_Kind::dimension: return "dimension";
    case KT_Drawable_Kind::polyline: return "polyline";
    case KT_Drawable_Kind::point_set: return "point_set";
  }
  return "unknown";
}

}  // namespace kttrv::view
