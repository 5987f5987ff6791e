// Text style records of the "HALD 2002" generation are 56 bytes: name flag,
// flags byte, second real at 14, oblique angle in degrees at 22, first real
// at 32, font and big-font flags at 40 and 44. The strings the flags
// announce follow in that order, and a TrueType font file is followed by one
// more string, which the loader reads and drops.
#include <cstddef>

#include "save/stored_reals.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

namespace {

// The loader keeps at most this many bytes of a font file name and decides
// on the kept part whether the trailer follows; writing no more than that
// keeps both sides in step.
constexpr std::size_t kFontFileField = 128;

struct FontFileName {
  char text[kFontFileField] = {};
};

FontFileName font_file_name(const char* name) {
  FontFileName f;
  if (name != nullptr) {
    for (std::size_t i = 0; i + 1 < kFontFileField && name[i] != '\0'; ++i) f.text[i] = name[i];
  }
  return f;
}

bool is_true_type(const char* font_file) {
  return is_file_ext(font_file, "ttf") || is_file_ext(font_file, "ttc");
}

void write_style_record(TorvWriter& w, const char* name, const KT_Text_Style* style) {
  const FontFileName font = font_file_name(style ? style->font_file : nullptr);
  const FontFileName big_font = font_file_name(style ? style->big_font_file : nullptr);
  const bool has_font = font.text[0] != '\0';
  const bool has_big_font = big_font.text[0] != '\0';

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
  if (has_font) write_counted_string(w, font.text);
  if (has_big_font) write_counted_string(w, big_font.text);
  if (has_font && is_true_type(font.text)) write_counted_string(w, "");
}

}  // namespace

void write_text_style_table(TorvWriter& w, const KT_Drawing& drawing) {
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
  for (const KT_Object* o = drawing.text_styles.first; o != nullptr; o = o->next) {
    const auto& style = static_cast<const KT_Text_Style&>(*o);
    write_style_record(w, style.name, &style);
  }
}
