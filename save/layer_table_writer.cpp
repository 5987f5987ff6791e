// Layer records are 12 bytes, each followed by the layer's name: name flag,
// flags byte (4: second flag, 1: third flag), a spare byte, colour number
// (negative: off), line type number, two spare bytes.
#include <algorithm>
#include <climits>
#include <span>

#include "save/carried_writes.h"
#include "save/palette_numbers.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

namespace {

constexpr int kFlag2Bit = 4;
constexpr int kFlag3Bit = 1;
constexpr int16_t kFallbackColour = 7;

void write_layer_record(TorvWriter& w, const char* name, int16_t flags, int16_t colour,
                        uint16_t line_type) {
  write_int32(w, 1);  // name flag: the name follows
  write_int16(w, flags);  // the flags byte, then the spare byte
  write_int16(w, colour);
  write_int16(w, static_cast<int16_t>(line_type));
  write_zeros(w, 2);
  write_counted_string(w, name != nullptr ? name : "");
}

}  // namespace

int16_t layer_colour_number(const KT_Layer& layer) {
  int16_t number = palette_number(layer.color);
  if (number == 0) number = kFallbackColour;
  return layer.on ? number : static_cast<int16_t>(-number);
}

void write_layer_table(TorvWriter& w, const KT_Drawing& drawing) {
  // Layer records of the file that made no kernel layer (a legacy file's)
  // follow the drawing's own.
  const std::span<const KT_Stored> extra =
      w.carried != nullptr ? w.carried->extra_layers() : std::span<const KT_Stored>();
  if (drawing.layers.first == nullptr && (carries_file(w) || !extra.empty())) {
    write_int32(w, static_cast<int32_t>(std::min<std::size_t>(extra.size(), INT32_MAX)));  // as the file was
    for (const KT_Stored& s : extra.first(std::min<std::size_t>(extra.size(), INT32_MAX))) write_stored(w, s);
    write_run(w, KT_Carried_Run::layers_tail);
    return;
  }
  if (drawing.layers.first == nullptr) {
    write_int32(w, 1);
    write_layer_record(w, "0", 0, 1, 1);
    return;
  }
  const int32_t own = table_count(drawing.layers);
  const auto more = static_cast<int32_t>(std::min<std::size_t>(extra.size(), static_cast<std::size_t>(INT32_MAX - own)));
  write_int32(w, own + more);
  for (const KT_Object* o = drawing.layers.first; o != nullptr; o = o->next) {
    const auto& layer = static_cast<const KT_Layer&>(*o);
    if (const KT_Stored* s = unchanged(w, layer)) {
      write_stored(w, *s);
      continue;
    }
    const auto flags = static_cast<int16_t>((layer.flag2 ? kFlag2Bit : 0) | (layer.flag3 ? kFlag3Bit : 0));
    write_layer_record(w, layer.name, flags, layer_colour_number(layer),
                       static_cast<uint16_t>(layer.line_type));
  }
  for (const KT_Stored& s : extra.first(static_cast<std::size_t>(more))) write_stored(w, s);
  write_run(w, KT_Carried_Run::layers_tail);
}
