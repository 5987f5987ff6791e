// The text-like kinds: 7 (text), 11 (four-string text) and 8 (named record).
// Presence fields are int32; the strings they announce follow the payload.
#include "format/angles.h"
#include <cstddef>

#include "entities/entity_kinds.h"

namespace {

// What kinds 7 and 11 hand to the kernel besides their strings.
struct TextPlacement {
  double x, y, height, rotation, width_factor;
};

void create_text(const EntityContext& c, const char* text, const char* style, TextPlacement t) {
  if (is_mirrored(c.props)) {
    t.x = -t.x;
    t.rotation = 360.0 - t.rotation;
    t.width_factor = -t.width_factor;
  }
  const double at[3] = {t.x, t.y, 0.0};
  KT_Drawable* drawable = nullptr;
  api_kt_create_text(drawable, text, style, at, t.height, t.width_factor,
                     degrees_to_radians(t.rotation));
  if (drawable) apply_entity_props(drawable, c.props);
}

// Kind 7 shows nothing for a text of spaces only. The kernel receives the
// string up to its first zero byte, so that is what is tested.
bool has_visible_char(const char* text) {
  for (; *text; ++text)
    if (*text != ' ') return true;
  return false;
}

}  // namespace

// Kind 7: 94 bytes, then the text and the style name when announced.
void read_text_record(EntityContext& c) {
  const auto rec = c.r.record<94>();
  const TextPlacement t{rec.get<double, 0>(), rec.get<double, 8>(), rec.get<double, 24>(), rec.get<double, 36>(),
                        rec.get<double, 44>()};
  const auto has_text = rec.get<int32_t, 32>();
  const auto has_style = rec.get<int32_t, 60>();
  const char* text = has_text ? c.string(0) : nullptr;
  const char* style = has_style ? c.string(1) : nullptr;
  if (!c.r.ok()) return;

  if (text && has_visible_char(text)) {
    create_text(c, text, style, t);
    // The insertion z, the real at 52, the bytes at 64 and the second point
    // do not reach the kernel.
    if (c.ledger) [[unlikely]] {
      if (rec.holds<16, 24>()) c.lose(Loss::flat_z);
      if (rec.holds<52, 60>() || rec.holds<64, 94>()) c.lose(Loss::text_field);
    }
  }
}

// Kind 8: 60 bytes and a name when announced; nothing is created.
void read_named_record(EntityContext& c) {
  c.r.skip(32);
  const int32_t has_name = c.r.i32();
  c.r.skip(24);
  if (has_name) c.r.counted_view();
}

// Kind 11: 106 bytes, then strings 1, 2, 3, 4 when announced. String 2 is
// the text, string 4 the style name; 1 and 3 are passed over. The presence
// fields lie in the order 1, 3, 2.
void read_four_string_text(EntityContext& c) {
  const auto rec = c.r.record<106>();
  const TextPlacement t{rec.get<double, 0>(), rec.get<double, 8>(), rec.get<double, 24>(), rec.get<double, 48>(),
                        rec.get<double, 56>()};
  const auto has_str1 = rec.get<int32_t, 32>();
  const auto has_str3 = rec.get<int32_t, 36>();
  const auto has_str2 = rec.get<int32_t, 40>();
  const auto has_str4 = rec.get<int32_t, 72>();
  const std::size_t str1 = has_str1 ? c.r.counted_view().size() : 0;
  const char* text = has_str2 ? c.string(0) : nullptr;
  const std::size_t str3 = has_str3 ? c.r.counted_view().size() : 0;
  const char* style = has_str4 ? c.string(1) : nullptr;
  if (!c.r.ok()) return;

  // Block definitions get no four-string texts.
  if (!c.model_space) return;
  create_text(c, text, style, t);
  if (c.ledger) [[unlikely]] {
    c.lose(Loss::text_string, (str1 != 0) + (str3 != 0));
    if (rec.holds<16, 24>()) c.lose(Loss::flat_z);
    if (rec.holds<44, 48>() || rec.holds<64, 72>() || rec.holds<76, 106>()) c.lose(Loss::text_field);
  }
}
