#include "view/render_options.h"

#include <algorithm>
#include <cctype>

#include "format/names.h"

namespace kttrv::view {

std::optional<PictureFormat> picture_format(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  lower_ascii(ext);
  if (ext == "svg") return PictureFormat::svg;
  if (ext == "png") return PictureFormat::png;
  if (ext == "pdf") return PictureFormat::pdf;
  return std::nullopt;
}

bool parse_background(const std::string& text, std::optional<uint32_t>& out) {
  if (text == "none") out.reset();
  else if (text == "white") out = 0xFFFFFF;
  else if (text == "black") out = 0x000000;
  else if (text.size() == 7 && text[0] == '#' &&
           std::all_of(text.begin() + 1, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
    out = static_cast<uint32_t>(std::stoul(text.substr(1), nullptr, 16));
  else return false;
  return true;
}

}  // namespace kttrv::view
