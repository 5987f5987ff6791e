// The fixed start of a legacy file ("Torv 1.0", "Torv 1.5"): the 22-byte
// header, the 80-byte directory, then the preview block, the extra block, a
// point and three reals, up to the system-variable table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "load/tag_file.h"

enum class LegacyGeneration : uint8_t { unknown, v1_0, v1_5 };

inline constexpr std::size_t kLegacyHeaderSize = 22;
inline constexpr std::size_t kLegacyDirectorySize = 80;
inline constexpr std::size_t kLegacyBitmapInfoSize = 40;  // image size at its byte 20
inline constexpr std::size_t kLegacyExtraBlockSize = 110;
inline constexpr std::size_t kLegacyTrailerSize = 16 + 24;  // a point, then three reals

struct LegacyHeader {
  char version[20] = {};     // "Torv 1.0" or "Torv 1.5", zero-terminated in the field
  uint8_t preview_flag = 0;  // 1: a preview block follows the directory
  uint8_t extra_flag = 0;    // 1: a 110-byte extra block follows
};

// Record i of a table starts at offset + i * stride: one flag byte, then a
// body whose size is fixed per table.
struct LegacyTableDescriptor {
  int16_t stride = 0;
  int16_t count = 0;  // zero or negative: no records
  int32_t offset = 0;
};

// The tables in directory order.
enum LegacyTable : uint8_t { kLegacyBlocks, kLegacyLayers, kLegacyTextStyles, kLegacyLineTypes };
inline constexpr int kLegacyTableCount = 4;
const char* legacy_table_name(LegacyTable table);

struct LegacyDirectory {
  int32_t entities_start = 0;
  int32_t entities_end = 0;
  LegacyTableDescriptor tables[kLegacyTableCount];
};

// How far the fixed part could be read.
enum class LegacyFixedStatus : uint8_t {
  ok,
  short_header,
  unknown_version,
  short_directory,
  bad_preview,
  short_extra,
  short_trailer,
};

// True when the header and the directory were read, whatever came after.
inline bool legacy_directory_read(LegacyFixedStatus status) {
  return status == LegacyFixedStatus::ok || status == LegacyFixedStatus::bad_preview ||
         status == LegacyFixedStatus::short_extra || status == LegacyFixedStatus::short_trailer;
}

// What the fixed part holds. Offsets are -1 for blocks that are absent or
// were not reached.
struct LegacyFixedPart {
  LegacyHeader header;
  LegacyGeneration generation = LegacyGeneration::unknown;
  LegacyDirectory directory;
  int32_t preview_offset = -1;
  int64_t preview_size = -1;  // the whole block, as its sizes give it
  int32_t extra_offset = -1;
  int32_t sysvars_offset = -1;  // where the system-variable table begins
};

// The generation the version text names, compared without regard to case.
LegacyGeneration legacy_generation(const LegacyHeader& header);
const char* legacy_generation_name(LegacyGeneration generation);  // "1.0", "1.5" or "unknown"

// Reads the fixed part from position 0 and leaves the stream at the
// system-variable table. Reports why and where it stopped.
LegacyFixedStatus read_legacy_fixed_part(tagFile* f, LegacyFixedPart& out);
