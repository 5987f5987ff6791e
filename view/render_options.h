// What a picture of the model space is asked to be; every build knows these,
// also one without cairo (render.h), which then draws nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "view/text_encoding.h"

class KT_Carried;

namespace kttrv::view {

enum class PictureFormat { svg, png, pdf };

// The format an output name asks for, by its extension (any case).
std::optional<PictureFormat> picture_format(const std::string& path);

struct RenderOptions {
  int width = 1024;                    // pixels (points for SVG and PDF)
  std::optional<uint32_t> background = 0xFFFFFF;  // 0xRRGGBB; none: transparent
  std::set<std::string> layers;        // only these layers; empty: every layer that is on
  // What the load carried beside the drawing: inserts draw the values of
  // their stored attribute records. Null: the drawing alone.
  const KT_Carried* carried = nullptr;
  // Units of work the picture may take (a drawable, a vertex, a chord, a
  // glyph, 16 pixels of a stroke each; walk.h's work_budget of the file's
  // size); 0: kBaseWork.
  long long work_budget = 0;
  // How text bytes are read (layer names, texts); null: Latin-1.
  const TextEncoding* encoding = nullptr;
  // A PNG is drawn in bands of rows, each on an image surface of its own
  // and by a walk that passes over what lies outside it, several at once.
  // Rows a band (0: as many as keep the bands drawn at once within 32 MiB,
  // and at least as many bands as threads); threads (0: one; at most 4;
  // cairo's font caches are not safe to draw texts from several at once).
  int band_rows = 0;
  int threads = 0;
  // A PNG is drawn from the top down: the last drawable first, each put
  // under what is there, and what would fall only on opaque pixels passed
  // over (the same picture but for rounding in the last bit or two of an
  // edge). False: in the drawing's order, every drawable drawn.
  bool top_down = true;

  // A kernel string as UTF-8, in the encoding.
  std::string utf8(const char* bytes) const {
    return (encoding != nullptr ? *encoding : TextEncoding::latin1()).decode(bytes);
  }
};

// "#RRGGBB", "white", "black" or "none" (transparent); false when unknown.
bool parse_background(const std::string& text, std::optional<uint32_t>& out);

}  // namespace kttrv::view
