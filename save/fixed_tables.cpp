// The tables the loader does not read: viewport, line type, view, UCS and
// block table.
#include <limits>

#include "kernel/collections.h"
#include "save/carried_writes.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

int32_t table_count(const KT_Collection& collection) {
  const long n = count_collection(collection);
  return n > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                 : static_cast<int32_t>(n);
}

void write_viewport_table(TorvWriter& w) {
  if (write_run(w, KT_Carried_Run::viewports)) return;
  write_int32(w, 1);
  // The 226-byte record.
  write_int32(w, 1);  // name flag
  write_int16(w, 0);
  write_zeros(w, 16);
  write_real(w, 100.0);
  write_real(w, 100.0);
  write_real(w, 50.0);
  write_real(w, 50.0);
  write_zeros(w, 96);
  write_real(w, 100.0);
  write_zeros(w, 8);
  write_real(w, 100.0);
  write_zeros(w, 32);
  for (int i = 0; i < 10; ++i) write_int16(w, 0);
  write_counted_string(w, "*ACTIVE");
}

// Line types as the kernel makes them by default (no name) hold nothing of
// their own: a drawing of only those is written as one without line types.
bool has_own_line_types(const KT_Drawing& drawing) {
  for (const KT_Object* o = drawing.line_types.first; o != nullptr; o = o->next) {
    const char* name = static_cast<const KT_Line_Type&>(*o).name;
    if (name != nullptr && *name != '\0') return true;
  }
  return false;
}

void write_line_type_table(TorvWriter& w, const KT_Drawing& drawing) {
  if (write_run(w, KT_Carried_Run::line_types) || has_own_line_types(drawing)) return;
  write_int32(w, 1);
  // The 92-byte record.
  write_int32(w, 1);  // name flag
  write_int16(w, 64);
  write_int32(w, 1);  // description flag
  write_int16(w, 65);
  write_zeros(w, 80);
  write_counted_string(w, "CONTINUOUS");
  write_counted_string(w, "Solid Line");
}

void write_view_table(TorvWriter& w, const KT_Drawing& drawing) {
  if (write_run(w, KT_Carried_Run::views)) return;
  // The styles written: "STANDARD" stands in for none.
  write_int32(w, drawing.text_styles.first != nullptr || carries_file(w) ? table_count(drawing.text_styles) : 1);
}

void write_ucs_table(TorvWriter& w) {
  if (!write_run(w, KT_Carried_Run::ucs)) write_int32(w, 0);
}

void write_block_table(TorvWriter& w, const KT_Drawing& drawing) {
  if (write_run(w, KT_Carried_Run::block_table)) return;
  write_int32(w, table_count(drawing.blocks));
}
