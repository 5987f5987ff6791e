// Drawing a loaded model space to SVG, PNG or PDF (the target kttrv_render,
// absent where there is no cairo): PNG through cairo's image surfaces, band
// by band; SVG and PDF by our own writers, written as they are drawn.
#pragma once

#include <cstdio>
#include <string>

#include "kernel/zirida.h"
#include "view/render_options.h"

namespace kttrv::view {

// Writes the picture to out_path; on failure false with the reason in
// error (a file begun may be left behind). cut, when given, tells whether
// the walk stopped at its limit (kMaxVisits drawables or the options' work
// budget): the picture then lacks what comes after.
bool render_drawing(const KT_Drawing& drawing, const RenderOptions& options, PictureFormat format,
                    const std::string& out_path, std::string& error, bool* cut = nullptr);

// The same onto an open file (standard output too), which is flushed, not
// closed.
bool render_drawing(const KT_Drawing& drawing, const RenderOptions& options, PictureFormat format, std::FILE* out,
                    std::string& error, bool* cut = nullptr);

}  // namespace kttrv::view
