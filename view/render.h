// Drawing a loaded model space to SVG, PNG or PDF through cairo (the target
// kttrv_render, absent where there is no cairo).
#pragma once

#include <string>

#include "kernel/zirida.h"
#include "view/render_options.h"

namespace kttrv::view {

// Writes the picture; on failure false with the reason in error. cut, when
// given, tells whether the walk stopped at its limit (kMaxVisits drawables
// or the options' work budget): the picture then lacks what comes after.
bool render_drawing(const KT_Drawing& drawing, const RenderOptions& options, PictureFormat format,
                    const std::string& out_path, std::string& error, bool* cut = nullptr);

}  // namespace kttrv::view
