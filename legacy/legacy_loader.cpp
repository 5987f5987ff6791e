#include "legacy/legacy_loader.h"

#include <limits>

#include "legacy/legacy_layout.h"
#include "legacy/legacy_sysvars.h"
#include "legacy/legacy_tables.h"
#include "format/diagnostics.h"

namespace {

const char* table_section(LegacyTable table) {
  switch (table) {
    case kLegacyBlocks: return "legacy blocks";
    case kLegacyLayers: return "legacy layers";
    case kLegacyTextStyles: return "legacy text styles";
    case kLegacyLineTypes: return "legacy line types";
  }
  return "legacy tables";
}

// Reads every record of one table in file order and hands each to
// on_record(flag, body). False at the first record that does not lie wholly
// inside the file; the records before it have been handed on.
template <class OnRecord>
bool walk_table(tagFile* f, const LegacyFixedPart& fixed, LegacyTable table, OnRecord&& on_record) {
  const LegacyTableDescriptor& d = fixed.directory.tables[table];
  const std::size_t body_size = legacy_body_size(table, fixed.generation);
  unsigned char body[kLegacyLargestBody];
  RecordReader r(f);
  for (int i = 0; i < d.count; ++i) {
    uint8_t flag = 0;
    if (!read_legacy_record(r, d, i, body_size, flag, body)) {
      report_diagnostic(table_section(table), legacy_record_start(d, i),
                        "record %d of %d (%zu bytes, stride %d from byte %d) lies outside the file", i,
                        int{d.count}, body_size + 1, int{d.stride}, d.offset);
      return false;
    }
    on_record(flag, body);
  }
  return true;
}

}  // namespace

int load_legacy_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing) {
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    report_diagnostic("file", 0, "the file is too large for 32-bit positions");
    return 0;
  }
  tagFile f{data, static_cast<int32_t>(size), 0};
  LegacyFixedPart fixed;
  const LegacyFixedStatus status = read_legacy_fixed_part(&f, fixed);
  if (!legacy_directory_read(status)) return 0;

  // The table's outcome does not concern the load. It starts behind the
  // fixed part; when that cannot be reached (a bad preview, a cut extra
  // block or point), it is skipped and the tables, which lie at their own
  // positions, are still read.
  if (mode == -1 && status == LegacyFixedStatus::ok) {
    walk_legacy_sysvar_table(&f);
  } else if (mode == -1) {
    report_diagnostic("legacy system variables", f.position,
                      "not read: the fixed part before them does not lie wholly inside the file");
  }

  // Layers are read through, but a legacy load creates none.
  if (!walk_table(&f, fixed, kLegacyLayers, [](uint8_t flag, const unsigned char* body) {
        (void)decode_legacy_layer(flag, body);
      }))
    return 0;
  // Only the number of records counts: the defaults take nothing from a body.
  if (!walk_table(&f, fixed, kLegacyLineTypes,
                  [&](uint8_t, const unsigned char*) { kt_append_line_type(drawing); }))
    return 0;
  if (!walk_table(&f, fixed, kLegacyTextStyles, [&](uint8_t, const unsigned char* body) {
        (void)legacy_font_names(body);  // no text style takes them
        kt_append_text_style(drawing);
      }))
    return 0;
  if (!walk_table(&f, fixed, kLegacyBlocks, [&](uint8_t, const unsigned char*) { kt_append_block(drawing); }))
    return 0;
  // The entity section is not converted (trv walks its frame: tools/trv/legacy_entities.h).
  return 1;
}
