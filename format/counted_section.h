// The start shared by the counted sections (tables, blocks): seek to the
// section and read its uint32 record count.
#pragma once

#include <cstdint>
#include <optional>

#include "format/load_context.h"
#include "format/record_reader.h"

// The count, or nothing (reported) when it lies outside the file.
inline std::optional<uint32_t> open_counted_section(RecordReader& r, int32_t position, const char* section,
                                                    const char* what = "record count") {
  r.seek(position);
  const uint32_t count = r.u32();
  if (!r.ok()) {
    report_diagnostic(r.file(), {section, position}, "%s lies outside the file", what);
    return std::nullopt;
  }
  return count;
}
