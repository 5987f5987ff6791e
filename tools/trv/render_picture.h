// The picture trv render draws: render_picture.cpp where cairo is built,
// render_unavailable.cpp (which says it cannot) where it is not.
#pragma once

#include <string>

#include "view/render_options.h"

namespace trv {

struct RenderRequest {
  std::string path;      // the drawing; "-": standard input
  std::string out;       // the picture; "-": standard output
  std::string format;    // svg, png or pdf; empty: by out's extension
  std::string encoding;  // how text bytes are read; empty: latin1
  kttrv::view::RenderOptions options;
};

// Draws the model space of the drawing to the picture; the exit status. A
// requested layer that does not exist, or a picture with nothing to draw,
// is said on stderr and fails (1), writing no picture.
int run_render(const RenderRequest& request);

}  // namespace trv
