// The system-variable section: one leading double, then one value per entry
// of the list, each as wide as the entry's type says. Nothing is kept.
#include "format/diagnostics.h"
#include "format/record_reader.h"
#include "tables/sysvar_list.h"

namespace {

constexpr const char* kSection = "system variables";

// The entry at this index holds an int16 although the list types it 8.
constexpr std::size_t kShortStringEntry = 39;

// Bytes of a fixed-width value of this type; 0 for strings, -1 for no type.
int value_width(int8_t type) {
  switch (type) {
    case 1: return 2;
    case 2: return 4;
    case 3:
    case 6: return 16;
    case 4:
    case 5: return 8;
    case 7: return 24;
    case 8: return 0;
    default: return -1;
  }
}

}  // namespace

int read_sysvar_section(tagFile* f, int32_t position) {
  RecordReader r(f);
  r.seek(position);
  if (!r.skip(8)) {
    report_diagnostic(kSection, position, "the leading value lies outside the file");
    return 0;
  }
  const std::vector<SysVarEntry>& list = sysvar_list();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const int32_t at = r.offset();
    int width = value_width(list[i].type);
    if (width < 0) {
      report_diagnostic(kSection, at, "list entry %zu has type %d, outside 1 to 8; walk stopped", i,
                        list[i].type);
      return 0;
    }
    if (width == 0 && i == kShortStringEntry) width = 2;
    // Strings are passed over to their zero without being stored.
    if (width > 0) r.skip(static_cast<uint64_t>(width));
    else if (r.zero_terminated(), !r.ok()) file_seek(f, 0, 2);  // a string without its zero runs to the end
    if (!r.ok()) {
      report_read_failure(r, kSection, at, "value of entry %zu of %zu", i, list.size());
      return 0;
    }
  }
  return 1;
}
