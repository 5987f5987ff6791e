#include "legacy/legacy_sysvars.h"

#include "format/load_context.h"
#include "format/record_reader.h"

namespace {

// Bytes after the type byte for the fixed-size forms; 0 for a counted
// string; -1 when the type has no known form.
int value_size(uint8_t type) {
  if (type >= 1 && type <= 3) return 4;    // a 4-byte value
  if (type >= 4 && type <= 11) return 8;   // a real
  if (type >= 12 && type <= 14) return 0;  // a counted string
  if (type == 15 || type == 19) return 16; // a point x, y
  return -1;
}

}  // namespace

int walk_legacy_sysvar_table(tagFile* f, int* entries) {
  RecordReader r(f);
  const int32_t start = r.offset();
  const int16_t count = r.i16();
  if (!r.ok()) {
    report_read_failure(r, "legacy system variables", start, "entry count");
    return 0;
  }
  for (int i = 0; i < count; ++i) {
    const int32_t entry = r.offset();
    const uint8_t type = r.u8();
    const int size = r.ok() ? value_size(type) : 0;
    if (size < 0) {
      report_diagnostic(r.file(), {"legacy system variables", entry}, "entry %d of %d has type %u, whose form is unknown", i,
                        int{count}, unsigned{type});
      return 0;
    }
    // Strings longer than 127 characters are passed over whole; nothing keeps them.
    if (size == 0) r.counted_view();
    else r.skip(static_cast<uint64_t>(size));
    if (!r.ok()) {
      report_read_failure(r, "legacy system variables", entry, "entry %d of %d", i, int{count});
      return 0;
    }
    if (entries != nullptr) *entries = i + 1;
  }
  return 1;
}
