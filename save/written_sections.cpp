#include "save/written_sections.h"

#include <vector>

#include "save/sysvar_writer.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

namespace {

template <class Write>
std::string written(Write&& write) {
  std::vector<unsigned char> bytes;
  TorvWriter w;
  w.memory = &bytes;
  write(w);
  writer_flush(w);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

const std::string& written_sysvar_section() {
  static const std::string section = written([](TorvWriter& w) { write_sysvar_section(w); });
  return section;
}

std::string written_unread_table(TorvSlot slot, const KT_Drawing& drawing) {
  return written([&](TorvWriter& w) {
    switch (slot) {
      case kSlotViewports: write_viewport_table(w); break;
      case kSlotLineTypes: write_line_type_table(w, drawing); break;
      case kSlotViews: write_view_table(w, drawing); break;
      case kSlotUcs: write_ucs_table(w); break;
      case kSlotBlockTable: write_block_table(w, drawing); break;
      default: break;  // application ids: nothing follows the tag
    }
  });
}

const std::string& written_closing() {
  static const std::string closing = written([](TorvWriter& w) {
    write_tag(w, "GroupDic");
    write_zeros(w, 11);
    write_tag(w, "AppDataDic");
    write_zeros(w, 9);
  });
  return closing;
}
