// The records of the four legacy tables: their body sizes, where record i
// lies, reading one, and what the layer and text style bodies hold.
#pragma once

#include <cstddef>
#include <cstdint>

#include "legacy/legacy_layout.h"
#include "format/record_reader.h"

inline constexpr std::size_t kLegacyLayerBody = 36;
inline constexpr std::size_t kLegacyLineTypeBody = 186;
inline constexpr std::size_t kLegacyTextStyleBody = 196;
inline constexpr std::size_t kLegacyBlockBody10 = 54;
inline constexpr std::size_t kLegacyBlockBody15 = 118;
inline constexpr std::size_t kLegacyLargestBody = kLegacyTextStyleBody;

// Body bytes of one record (the flag byte not counted); blocks grew in 1.5.
std::size_t legacy_body_size(LegacyTable table, LegacyGeneration generation);

// Where record i starts. 64-bit, so offset + i * stride cannot overflow for
// any int32 offset, int16 stride and int16 index.
inline int64_t legacy_record_start(const LegacyTableDescriptor& d, int i) {
  return int64_t{d.offset} + int64_t{i} * int64_t{d.stride};
}

// Whether every record (flag byte and body) lies inside file_size bytes. An
// empty table (count <= 0) is inside. Records lie on a line, so the first and
// the last decide.
bool legacy_table_inside(const LegacyTableDescriptor& d, std::size_t body_size, std::size_t file_size);

// Reads record i, a section of the table's cursor: its flag byte and
// body_size bytes into body. False (and the cursor failed, unmoved) when the
// record does not lie wholly inside the file.
bool read_legacy_record(RecordReader& table, const LegacyTableDescriptor& d, int i, std::size_t body_size,
                        uint8_t& flag, unsigned char* body);

// A layer record as the loader prepares it; nothing is created from it.
struct LegacyLayer {
  char name[33] = {};
  int16_t color = 7;  // colour number 0 stands for 7
  uint8_t flag = 0;   // bit value 4 set for "DEFPOINTS"
};
LegacyLayer decode_legacy_layer(uint8_t flag, const unsigned char* body);

// The two font file names of a text style body: empty when the field starts
// with a zero; ".shx" added to a name without a '.'.
inline constexpr std::size_t kLegacyFontField = 65;
// A full field, ".shx" and the terminator.
inline constexpr std::size_t kLegacyFontName = kLegacyFontField + 5;
struct LegacyFontNames {
  char font[kLegacyFontName] = {};
  char big_font[kLegacyFontName] = {};
};
LegacyFontNames legacy_font_names(const unsigned char* body);
