// What the layer and text style records cannot carry, and the line types,
// which no loader reads.
#include <cstring>

#include "load/font_file_names.h"
#include "save/palette_numbers.h"
#include "save/section_writers.h"
#include "save/stored_reals.h"

namespace {

constexpr std::size_t kNameKept = 31;        // the loader's name fields
constexpr std::size_t kFontFileKept = 127;  // and its font file fields
constexpr int32_t kMarkedStyle = 256;        // the mark the loader sets on flag bit 4

bool longer_than(const char* s, std::size_t n) { return s != nullptr && std::strlen(s) > n; }

// The loader lower-cases a font file name, drops its folder and gives it
// ".ttf" or ".shx": a name not already in that form comes back changed
// (an empty one as ".shx").
bool loads_as_held(const char* font_file) {
  if (font_file == nullptr || longer_than(font_file, kFontFileKept)) return false;
  char normal[kFontFileKept + 1 + 4] = {};
  std::memcpy(normal, font_file, std::strlen(font_file));
  normalize_font_file(normal, sizeof normal);
  return std::strcmp(normal, font_file) == 0;
}

void note_layer(const KT_Layer& layer, SaveReport& report) {
  if (palette_number(layer.color) == 0 || layer.line_type < 0 || layer.line_type > 0xFFFF)
    report.lose(Loss::table_entry);
  if (longer_than(layer.name, kNameKept)) report.lose(Loss::long_string);
}

void note_text_style(const KT_Text_Style& style, SaveReport& report) {
  const int32_t mark = (style.flags & 0x4) != 0 ? kMarkedStyle : 0;
  if (style.flags < 0 || style.flags > 0xFF || style.last != 0 || style.mark != mark ||
      !same_bits(style.reals[3], 0.0) || !loads_as_held(style.font_file) || !loads_as_held(style.big_font_file))
    report.lose(Loss::table_entry);
  bool exact = false;
  stored_degrees(style.reals[2], exact);
  if (!exact) report.lose(Loss::unreachable_real);
  if (longer_than(style.name, kNameKept) || longer_than(style.font_file, kFontFileKept) ||
      longer_than(style.big_font_file, kFontFileKept))
    report.lose(Loss::long_string);
}

}  // namespace

void note_table_losses(const KT_Drawing& drawing, SaveReport& report) {
  for (const KT_Object* o = drawing.layers.first; o != nullptr; o = o->next) {
    note_layer(static_cast<const KT_Layer&>(*o), report);
    ++report.layers;
  }
  for (const KT_Object* o = drawing.text_styles.first; o != nullptr; o = o->next) {
    note_text_style(static_cast<const KT_Text_Style&>(*o), report);
    ++report.text_styles;
  }
  for (const KT_Object* o = drawing.line_types.first; o != nullptr; o = o->next) report.lose(Loss::line_type);
  // Drawings without layers or styles get layer "0" and style "STANDARD".
  if (report.layers == 0) report.layers = 1;
  if (report.text_styles == 0) report.text_styles = 1;
}
