// The picture trv render draws: render_picture.cpp where cairo is built,
// render_unavailable.cpp (which says it cannot) where it is not.
#pragma once

#include <string>

#include "view/render_options.h"

namespace trv {

// Draws the model space of path to out (SVG, PNG or PDF by its extension);
// the exit status.
int run_render(const std::string& path, const std::string& out, const kttrv::view::RenderOptions& options);

}  // namespace trv
