// Test support: a drawing as text, every double as its 64 bits (so -0.0,
// subnormals and NaN payloads count), object ids and line types left out.
// Two drawings hold the same when their images are equal.
#pragma once

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>

#include "kernel/kt_drawables.h"

namespace image {

inline void real(std::string& out, double v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, " %016" PRIx64, std::bit_cast<uint64_t>(v));
  out += buf;
}
inline void integer(std::string& out, long v) { out += " " + std::to_string(v); }
inline void text(std::string& out, const char* s) { out += s ? " \"" + std::string(s) + "\"" : " null"; }
inline void point(std::string& out, const Ge_Pt& p) {
  real(out, p.x);
  real(out, p.y);
  real(out, p.z);
}

inline void drawable(std::string& out, const KT_Drawable& d) {
  integer(out, static_cast<long>(d.kind));
  integer(out, d.color);
  integer(out, d.third);
  integer(out, d.layer);
  switch (d.kind) {
    case KT_Drawable_Kind::point: point(out, static_cast<const KT_Point_Entity&>(d).at); break;
    case KT_Drawable_Kind::line: {
      auto& e = static_cast<const KT_Line_Entity&>(d);
      point(out, e.start);
      point(out, e.end);
      break;
    }
    case KT_Drawable_Kind::solid: {
      auto& e = static_cast<const KT_Solid_Entity&>(d);
      for (const Ge_Pt& p : e.corners) point(out, p);
      integer(out, e.count);
      break;
    }
    case KT_Drawable_Kind::circle: {
      auto& e = static_cast<const KT_Circle_Entity&>(d);
      point(out, e.centre);
      real(out, e.radius);
      break;
    }
    case KT_Drawable_Kind::arc: {
      auto& e = static_cast<const KT_Arc_Entity&>(d);
      point(out, e.centre);
      for (double v : {e.radius, e.start_angle, e.end_angle}) real(out, v);
      break;
    }
    case KT_Drawable_Kind::text: {
      auto& e = static_cast<const KT_Text_Entity&>(d);
      text(out, e.text);
      text(out, e.style);
      point(out, e.at);
      for (double v : {e.height, e.width_factor, e.rotation}) real(out, v);
      break;
    }
    case KT_Drawable_Kind::insert: {
      auto& e = static_cast<const KT_Insert_Entity&>(d);
      point(out, e.at);
      for (double v : {e.scale[0], e.scale[1], e.scale[2], e.rotation}) real(out, v);
      text(out, e.block_name);
      break;
    }
    case KT_Drawable_Kind::dimension: {
      auto& e = static_cast<const KT_Dimension_Entity&>(d);
      for (const char* s : e.strings) text(out, s);
      for (const Ge_Pt& p : e.points) point(out, p);
      for (double v : e.reals) real(out, v);
      integer(out, e.value);
      break;
    }
    case KT_Drawable_Kind::polyline:
    case KT_Drawable_Kind::point_set: {
      auto& e = static_cast<const KT_Vertex_Entity&>(d);
      integer(out, e.closed);
      integer(out, e.count);
      for (long i = 0; i < e.count; ++i) point(out, e.vertices[i]);
      break;
    }
  }
  out += '\n';
}

inline std::string entities(const KT_Entity_List& list) {
  std::string out;
  for (const KT_Drawable* d = list.first; d; d = d->next) drawable(out, *d);
  return out;
}

struct Drawing {
  std::string layers, text_styles, dim_styles, blocks, model_space;
  bool operator==(const Drawing&) const = default;
};

// The kernel's defaults a save does not store as they are (a block's "DESC",
// a style's empty font names) are shown as a save gives them back: they are
// the kernel's, not the drawing's.
inline const char* as_saved_font(const char* font) { return font != nullptr && *font == '\0' ? ".shx" : font; }
inline const char* as_saved_description(const char* d) {
  return d != nullptr && std::string_view(d) == "DESC" ? "" : d;  // a loaded block's description is empty
}

inline Drawing of(const KT_Drawing& d) {
  Drawing img;
  for (const KT_Object* o = d.layers.first; o; o = o->next) {
    auto& l = static_cast<const KT_Layer&>(*o);
    text(img.layers, l.name);
    for (long v : {l.color, static_cast<long>(l.line_type), static_cast<long>(l.on), static_cast<long>(l.flag2),
                   static_cast<long>(l.flag3)})
      integer(img.layers, v);
    img.layers += '\n';
  }
  for (const KT_Object* o = d.text_styles.first; o; o = o->next) {
    auto& s = static_cast<const KT_Text_Style&>(*o);
    for (const char* t : {s.name, as_saved_font(s.font_file), as_saved_font(s.big_font_file)}) text(img.text_styles, t);
    for (double v : s.reals) real(img.text_styles, v);
    for (long v : {static_cast<long>(s.flags), static_cast<long>(s.last), static_cast<long>(s.mark)})
      integer(img.text_styles, v);
    img.text_styles += '\n';
  }
  for (const KT_Object* o = d.dim_styles.first; o; o = o->next) {
    auto& s = static_cast<const KT_Dim_Style&>(*o);
    text(img.dim_styles, s.name);
    text(img.dim_styles, s.second_name);
    for (long v : s.longs) integer(img.dim_styles, v);
    for (short v : s.shorts) integer(img.dim_styles, v);
    for (double v : s.reals) real(img.dim_styles, v);
    img.dim_styles += '\n';
  }
  for (const KT_Object* o = d.blocks.first; o; o = o->next) {
    auto& b = static_cast<const KT_Block&>(*o);
    text(img.blocks, b.name);
    text(img.blocks, as_saved_description(b.description));
    point(img.blocks, b.base);
    for (double v : b.bounds) real(img.blocks, v);
    img.blocks += "\n" + entities(b.entities) + "end\n";
  }
  img.model_space = entities(d.model_space);
  return img;
}

// What a save adds to a drawing without layers or text styles.
inline bool is_default_addition(const std::string& section, const std::string& saved) {
  return section.empty() && !saved.empty() && saved.find('\n') == saved.size() - 1;
}

// True when `saved` holds what `original` holds, the default layer and
// text style a save adds aside; `where` names the first difference.
inline bool same_drawing(const Drawing& original, const Drawing& saved, std::string& where) {
  const std::pair<const char*, const std::string Drawing::*> sections[] = {
      {"layers", &Drawing::layers},         {"text styles", &Drawing::text_styles},
      {"dimension styles", &Drawing::dim_styles}, {"blocks", &Drawing::blocks},
      {"model space", &Drawing::model_space}};
  for (const auto& [name, member] : sections) {
    const std::string& a = original.*member;
    const std::string& b = saved.*member;
    const bool may_add = member == &Drawing::layers || member == &Drawing::text_styles;
    if (a == b || (may_add && is_default_addition(a, b))) continue;
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const std::size_t line = a.rfind('\n', at) == std::string::npos ? 0 : a.rfind('\n', at) + 1;
    where = std::string(name) + ": " + a.substr(line, 300) + " | " + b.substr(line, 300);
    return false;
  }
  return true;
}

}  // namespace image
