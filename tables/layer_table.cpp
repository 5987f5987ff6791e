// The layer table: a uint32 count, then per layer a 12-byte record and, when
// its name flag says so, the name as a counted string.
#include <string>

#include "format/color_palette.h"
#include "kernel/zirida.h"
#include "format/counted_section.h"
#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "format/record_reader.h"
#include "format/torv_header.h"
#include "tables/table_readers.h"

namespace {

constexpr const char* kSection = "layers";
constexpr int kDefaultColor = 7;

struct LayerRecord {
  int32_t name_flag = 0;
  uint8_t flags = 0;
  bool unkept = false;  // flag bits other than 1 and 4, or the bytes at 5 and 10, hold something
  int16_t color = 0;
  uint16_t line_type = 0;
  std::string name;  // whole: references name the layer in full
};

void read_layer_record(RecordReader& r, LayerRecord& rec) {
  rec.name_flag = r.i32();
  rec.flags = r.u8();
  const uint8_t at5 = r.u8();
  rec.color = r.i16();
  rec.line_type = r.u16();
  const uint16_t at10 = r.u16();
  rec.unkept = (rec.flags & ~0x5u) != 0 || at5 != 0 || at10 != 0;
  rec.name.clear();
  if (rec.name_flag != 0) rec.name.assign(r.counted_view());
}

}  // namespace

int read_layer_table(tagFile* f, int32_t position) {
  if (position < 0) return 0;
  RecordReader r(f);
  const std::optional<uint32_t> counted = open_counted_section(r, position, kSection);
  if (!counted) return 0;
  const uint32_t count = *counted;
  LayerRecord rec;
  for (uint32_t i = 0; i < count; ++i) {
    r.between_records();
    const int32_t at = r.offset();
    read_layer_record(r, rec);
    if (!r.ok()) {
      report_read_failure(r, kSection, at, "record %u of %u", i, count);
      return 0;
    }
    // Negative: the layer is off, the colour its absolute value; 0 means 7.
    int color = rec.color;
    const bool on = color >= 0;
    if (!on) color = -color;
    if (color == 0) color = kDefaultColor;
    if (color > 255) {
      report_diagnostic(r.file(), {kSection, at + 6, -1, kttrv::Severity::note}, "colour number %d of record %u lies outside the palette; colour 7 used",
                        static_cast<int>(rec.color), i);
      color = kDefaultColor;
    }
    // The writer stores the colour as the lowest number of its palette
    // value, negative when off: 0 comes back as 7, 10 as 1.
    if (LossLedger* ledger = load_context(f).ledger; ledger != nullptr && (rec.unkept || !is_lowest_colour_number(color) ||
                                                                 color != (on ? rec.color : -rec.color)))
      ledger->note(Loss::layer_field, kSection, i, at);
    KT_Layer* layer = nullptr;
    api_kt_create_layer(layer, rec.name.c_str(), static_cast<long>(color_palette[static_cast<std::size_t>(color)]),
                        rec.line_type, on, (rec.flags & 0x4) != 0, (rec.flags & 0x1) != 0);
    if (observing(f) != nullptr)
      report_stored(f, stored_record(kttrv::StoredKind::layer, kSection, kSlotLayers, i, layer),
                    at, r.offset());
  }
  return 1;
}
