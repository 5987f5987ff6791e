// What the layer and text style records cannot carry, and the line types,
// which no loader reads.
#include <string>

#include "format/font_file_names.h"
#include "save/carried_writes.h"
#include "save/palette_numbers.h"
#include "save/section_writers.h"
#include "save/stored_reals.h"
#include "save/write_primitives.h"

namespace {

constexpr int32_t kMarkedStyle = 256;  // the mark the loader sets on flag bit 4

// The loader lower-cases a font file name, drops its folder and gives it
// ".ttf" or ".shx": a name not already in that form comes back changed
// (an empty one as ".shx"). The kernel's default name is empty: a style that
// keeps it has no font name of its own to lose.
bool loads_as_held(const char* font_file) {
  if (font_file == nullptr || beyond_counted_string(font_file)) return false;
  if (*font_file == '\0') return true;
  std::string normal = font_file;
  normalize_font_file(normal);
  return normal == font_file;
}

void note_layer(const KT_Layer& layer, SaveReport& report) {
  if (palette_number(layer.color) == 0 || layer.line_type < 0 || layer.line_type > 0xFFFF)
    report.lose(Loss::table_entry);
  if (beyond_counted_string(layer.name)) report.lose(Loss::long_string);
}

void note_text_style(const KT_Text_Style& style, SaveReport& report) {
  const int32_t mark = (style.flags & 0x4) != 0 ? kMarkedStyle : 0;
  if (style.flags < 0 || style.flags > 0xFF || style.last != 0 || style.mark != mark ||
      !same_bits(style.reals[3], 0.0) || !loads_as_held(style.font_file) || !loads_as_held(style.big_font_file))
    report.lose(Loss::table_entry);
  bool exact = false;
  stored_degrees(style.reals[2], exact);
  if (!exact) report.lose(Loss::unreachable_real);
  if (beyond_counted_string(style.name)) report.lose(Loss::long_string);
}

}  // namespace

void note_table_losses(const TorvWriter& w, const KT_Drawing& drawing, SaveReport& report) {
  for (const KT_Object* o = drawing.layers.first; o != nullptr; o = o->next) {
    if (unchanged(w, static_cast<const KT_Layer&>(*o)) == nullptr) note_layer(static_cast<const KT_Layer&>(*o), report);
    ++report.layers;
  }
  for (const KT_Object* o = drawing.text_styles.first; o != nullptr; o = o->next) {
    if (!carries_text_styles(w) || unchanged(w, static_cast<const KT_Text_Style&>(*o)) == nullptr)
      note_text_style(static_cast<const KT_Text_Style&>(*o), report);
    ++report.text_styles;
  }
  // A line type as the kernel makes it by default (no name) holds nothing of
  // its own; what a file held for it is the load's to count.
  // A carried line type table goes back as it was.
  const bool carried_line_types = w.carried != nullptr && w.carried->run(KT_Carried_Run::line_types) != nullptr;
  for (const KT_Object* o = drawing.line_types.first; o != nullptr && !carried_line_types; o = o->next) {
    const char* name = static_cast<const KT_Line_Type&>(*o).name;
    if (name != nullptr && *name != '\0') report.lose(Loss::line_type);
  }
  // Drawings without layers or styles get layer "0" and style "STANDARD".
  if (w.carried != nullptr) report.layers += static_cast<long>(w.carried->extra_layers().size());
  if (report.layers == 0 && !carries_file(w)) report.layers = 1;
  if (report.text_styles == 0 && !carries_file(w)) report.text_styles = 1;
}
