#include "legacy/legacy_tables.h"

#include <cstring>
#include <initializer_list>
#include <limits>

#include "format/names.h"

namespace {

// The field up to its zero (or its whole width), then ".shx" when no '.'.
void font_file_name(const unsigned char* field, char (&out)[kLegacyFontName]) {
  const void* zero = std::memchr(field, 0, kLegacyFontField);
  const std::size_t len =
      zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - field) : kLegacyFontField;
  std::memcpy(out, field, len);
  out[len] = '\0';
  if (len != 0 && std::memchr(out, '.', len) == nullptr) std::memcpy(out + len, ".shx", 5);
}

}  // namespace

std::size_t legacy_body_size(LegacyTable table, LegacyGeneration generation) {
  switch (table) {
    case kLegacyBlocks: return generation == LegacyGeneration::v1_0 ? kLegacyBlockBody10 : kLegacyBlockBody15;
    case kLegacyLayers: return kLegacyLayerBody;
    case kLegacyTextStyles: return kLegacyTextStyleBody;
    case kLegacyLineTypes: return kLegacyLineTypeBody;
  }
  return 0;
}

bool legacy_table_inside(const LegacyTableDescriptor& d, std::size_t body_size, std::size_t file_size) {
  if (d.count <= 0) return true;
  const auto record = static_cast<int64_t>(body_size + 1);
  const auto size = static_cast<int64_t>(file_size);
  for (const int64_t start : {legacy_record_start(d, 0), legacy_record_start(d, d.count - 1)})
    if (start < 0 || start > size - record) return false;
  return true;
}

bool read_legacy_record(RecordReader& table, const LegacyTableDescriptor& d, int i, std::size_t body_size,
                        uint8_t& flag, unsigned char* body) {
  const int64_t start = legacy_record_start(d, i);
  if (start < 0 || start > std::numeric_limits<int32_t>::max()) return table.fail(ReadFailure::end_of_data), false;
  RecordReader record = table.section(static_cast<int32_t>(start), body_size + 1);
  flag = record.u8();
  record.bytes(body, body_size);
  return record.ok();
}

LegacyLayer decode_legacy_layer(uint8_t flag, const unsigned char* body) {
  LegacyLayer layer;
  std::memcpy(layer.name, body, 32);  // name[32] stays the terminator
  layer.color = FixedRecord<kLegacyLayerBody>(body).get<int16_t, 32>();
  if (layer.color == 0) layer.color = 7;
  layer.flag = flag;
  if (same_name(layer.name, "DEFPOINTS")) layer.flag = static_cast<uint8_t>(layer.flag | 4);
  return layer;
}

LegacyFontNames legacy_font_names(const unsigned char* body) {
  LegacyFontNames names;
  font_file_name(body + 66, names.font);
  font_file_name(body + 131, names.big_font);
  return names;
}
