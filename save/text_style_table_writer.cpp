// Text style records of the "HALD 2002" generation are 56 bytes: name flag,
// flags byte, second real at 14, oblique angle in degrees at 22, first real
// at 32, font and big-font flags at 40 and 44. The strings the flags
// announce follow in that order, and a TrueType font file is followed by one
// more string, which the loader reads and drops.
#include <cstddef>
#include <string>
#include <string_view>

#include "save/stored_reals.h"
#include "save/carried_writes.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

namespace {

// A font file name as it is written: whole, unless it passes the longest
// counted string. The trailer is decided on exactly these bytes, as the
// loader decides it on what it reads.
// An empty name (the kernel's default) is written as ".shx", what the
// loader makes of none: the saved file then saves to the same bytes again.
std::string font_file_name(const char* name) {
  if (name == nullptr) return {};
  if (*name == '\0') return ".shx";
  return std::string(std::string_view(name).substr(0, kLongestCountedString));
}

bool is_true_type(const char* font_file) {
  return is_file_ext(font_file, "ttf") || is_file_ext(font_file, "ttc");
}

void write_style_record(TorvWriter& w, const char* name, const KT_Text_Style* style) {
  const std::string font = font_file_name(style ? style->font_file : nullptr);
  const std::string big_font = font_file_name(style ? style->big_font_file : nullptr);
  const bool has_font = !font.empty();
  const bool has_big_font = !big_font.empty();

  write_int32(w, 1);                                                // name flag
  write_int16(w, style ? static_cast<int16_t>(style->flags & 0xFF) : 0);  // flags byte, spare
  write_zeros(w, 8);
  write_real(w, style ? style->reals[1] : 0.0);
  write_real(w, style ? oblique_degrees(style->reals[2]) : 0.0);
  write_zeros(w, 2);
  write_real(w, style ? style->reals[0] : 0.0);
  write_int32(w, has_font ? 1 : 0);
  write_int32(w, has_big_font ? 1 : 0);
  write_zeros(w, 8);

  write_counted_string(w, name != nullptr ? name : "");
  if (has_font) write_counted_string(w, font.c_str());
  if (has_big_font) write_counted_string(w, big_font.c_str());
  if (has_font && is_true_type(font.c_str())) write_counted_string(w, "");
}

}  // namespace

void write_text_style_table(TorvWriter& w, const KT_Drawing& drawing) {
  if (drawing.text_styles.first == nullptr && carries_file(w)) {
    write_int32(w, 0);  // as the file was: a load of it makes no style
    write_run(w, KT_Carried_Run::text_styles_tail);
    return;
  }
  if (drawing.text_styles.first == nullptr) {
    write_int32(w, 1);
    // Its font names are what the loader makes of none, so that the style
    // loaded back and saved again gives the same record.
    KT_Text_Style standard;
    standard.font_file = ".shx";
    standard.big_font_file = ".shx";
    standard.reals[0] = 0.0;
    write_style_record(w, "STANDARD", &standard);
    return;
  }
  write_int32(w, table_count(drawing.text_styles));
  const bool carried = carries_text_styles(w);
  for (const KT_Object* o = drawing.text_styles.first; o != nullptr; o = o->next) {
    const auto& style = static_cast<const KT_Text_Style&>(*o);
    if (const KT_Stored* s = carried ? unchanged(w, style) : nullptr) write_stored(w, *s);
    else write_style_record(w, style.name, &style);
  }
  write_run(w, KT_Carried_Run::text_styles_tail);
}
