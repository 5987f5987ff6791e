// The names of drawable kinds, as the dump and trv info give them.
#pragma once

#include <string_view>

#include "kernel/zirida.h"

namespace kttrv::view {

// "point", "line", ..., "point_set"; "unknown" for a kind the kernel does not define.
std::string_view kind_name(KT_Drawable_Kind kind);

}  // namespace kttrv::view
