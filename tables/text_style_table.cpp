// The text style table: a uint32 count, then per style a fixed record (52
// bytes for generations 3 and 6, 56 for later ones) and its counted strings.
#include <string>
#include <string_view>

#include "kernel/zirida.h"
#include "format/counted_section.h"
#include "format/angles.h"
#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "format/names.h"
#include "format/font_file_names.h"
#include "format/record_reader.h"
#include "format/torv_header.h"
#include "tables/table_readers.h"

namespace {

constexpr const char* kSection = "text styles";
constexpr int32_t kMarkedStyle = 256;

struct TextStyleRecord {
  int32_t name_flag = 0;
  uint8_t flags = 0;
  double real2 = 0.0;    // offset 14
  double oblique = 0.0;  // offset 22, degrees
  double real1 = 0.0;    // offset 32
  int32_t font_flag = 0;
  int32_t big_font_flag = 0;
  std::string name, font, big_font;
  bool unkept = false;  // the bytes not read hold something
};

int record_size(int generation) { return (generation == 3 || generation == 6) ? 52 : 56; }

// A file name up to its first zero byte, whole however long it is.
void read_file_name(RecordReader& r, std::string& out) {
  const std::string_view s = r.counted_view();
  out.assign(s.substr(0, s.find('\0')));
}

// TrueType font files carry one more counted string after the big-font
// file; it is read past. The whole name decides.
bool has_truetype_trailer(std::string& font) {
  if (!is_file_ext(font.c_str(), "ttf") && !is_file_ext(font.c_str(), "ttc")) return false;
  lower_ascii(font);
  return split_file_name(font).extension != ".shx";
}

// The fixed record and the strings the kernel receives; the trailer is left
// to the caller, which creates the style before reading it.
void read_text_style_record(RecordReader& r, TextStyleRecord& rec, int size) {
  rec.name.clear();
  rec.font.clear();
  rec.big_font.clear();
  rec.name_flag = r.i32();
  rec.flags = r.u8();
  const auto at5 = r.record<9>();
  rec.real2 = r.f64();
  rec.oblique = r.f64();
  const uint16_t at30 = r.u16();
  rec.real1 = r.f64();
  rec.font_flag = r.i32();
  rec.big_font_flag = r.i32();
  const uint32_t at48 = r.u32();
  const uint32_t at52 = size > 52 ? r.u32() : 0;
  rec.unkept = at5.holds<0, 9>() || at30 != 0 || at48 != 0 || at52 != 0;
  if (rec.name_flag != 0) rec.name.assign(r.counted_view());
  if (rec.font_flag != 0) read_file_name(r, rec.font);
  if (rec.big_font_flag != 0) read_file_name(r, rec.big_font);
}

// The writer stores the name the kernel received: a name the loader
// rewrites (its folder, case or extension) does not come back. An empty or
// absent one comes back as the same ".shx".
bool rewritten(const std::string& before, const std::string& after) { return !before.empty() && before != after; }

const KT_Text_Style* create_style(TextStyleRecord& rec, LossLedger* ledger, uint32_t i, int32_t at) {
  const std::string font = ledger != nullptr ? rec.font : std::string();
  const std::string big_font = ledger != nullptr ? rec.big_font : std::string();
  normalize_font_file(rec.font);
  normalize_font_file(rec.big_font);
  if (ledger != nullptr) {
    if (rewritten(font, rec.font)) ledger->note(Loss::font_name, kSection, i, at);
    if (rewritten(big_font, rec.big_font)) ledger->note(Loss::font_name, kSection, i, at);
    if (rec.unkept) ledger->note(Loss::text_style_field, kSection, i, at);
  }
  KT_Text_Style* style = nullptr;
  api_kt_create_text_style(style, rec.name.c_str(), rec.font.c_str(), rec.big_font.c_str(), rec.real1, rec.real2,
                           degrees_to_radians(rec.oblique), 0.0, rec.flags, 0);
  if ((rec.flags & 0x4) != 0 && style != nullptr) api_kt_set_text_style_mark(style, kMarkedStyle);
  return style;
}

}  // namespace

int read_text_style_table(tagFile* f, int32_t position) {
  if (position < 0) return 0;
  RecordReader r(f);
  const std::optional<uint32_t> counted = open_counted_section(r, position, kSection);
  if (!counted) return 0;
  const uint32_t count = *counted;
  const int size = record_size(load_context(f).generation);
  TextStyleRecord rec;
  for (uint32_t i = 0; i < count; ++i) {
    r.between_records();
    const int32_t at = r.offset();
    read_text_style_record(r, rec, size);
    // The trailer is not passed on: a style whose trailer alone is cut is
    // still created, and the table ends behind it.
    if (r.ok()) {
      LossLedger* const ledger = load_context(f).ledger;
      // What the trailer holds is read and dropped; the lower-casing it
      // needs is the normalisation's first step anyway.
      const std::string font = ledger != nullptr ? rec.font : std::string();
      const bool trailer = has_truetype_trailer(rec.font);
      if (ledger != nullptr) rec.font = font;
      const KT_Text_Style* style = create_style(rec, ledger, i, at);
      if (trailer && !r.counted_view().empty() && ledger != nullptr && r.ok() && !rec.unkept)
        ledger->note(Loss::text_style_field, kSection, i, at);  // once a record
      if (r.ok() && observing(f) != nullptr)
        report_stored(f, stored_record(kttrv::StoredKind::text_style, kSection, kSlotTextStyles, i, style),
                      at, r.offset());
    }
    if (!r.ok()) {
      report_read_failure(r, kSection, at, "record %u of %u (%d bytes and strings)", i, count, size);
      return 0;
    }
  }
  return 1;
}
