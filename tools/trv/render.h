// Drawing a loaded model space to SVG, PNG or PDF through cairo.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "kernel/zirida.h"

namespace trv {

enum class PictureFormat { svg, png, pdf };

// The format an output name asks for, by its extension (any case).
std::optional<PictureFormat> picture_format(const std::string& path);

struct RenderOptions {
  int width = 1024;                    // pixels (points for SVG and PDF)
  std::optional<uint32_t> background = 0xFFFFFF;  // 0xRRGGBB; none: transparent
  std::set<std::string> layers;        // only these layers; empty: every layer that is on
};

// "#RRGGBB", "white", "black" or "none" (transparent); false when unknown.
bool parse_background(const std::string& text, std::optional<uint32_t>& out);

// Writes the picture; on failure false with the reason in error. cut, when
// given, tells whether the walk stopped at its limit (kMaxVisits): the
// picture then lacks what comes after.
bool render_drawing(const KT_Drawing& drawing, const RenderOptions& options, PictureFormat format,
                    const std::string& out_path, std::string& error, bool* cut = nullptr);

}  // namespace trv
