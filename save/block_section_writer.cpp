// Block definitions: a uint32 count, then per block the flags word 0x127
// (base x, y, z, name, entities), the base point, the name and the block's
// own entity stream.
#include <cstring>

#include "save/entity_writer.h"
#include "save/section_writers.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

namespace {

constexpr int32_t kBlockFlags = 0x1 | 0x2 | 0x4 | 0x20 | 0x100;

}  // namespace

void write_block_section(TorvWriter& w, const KT_Drawing& drawing, SaveReport& report) {
  write_int32(w, table_count(drawing.blocks));
  for (const KT_Object* o = drawing.blocks.first; o != nullptr && w.ok; o = o->next) {
    const auto& block = static_cast<const KT_Block&>(*o);
    const char* name = block.name != nullptr ? block.name : "";
    write_int32(w, kBlockFlags);
    write_pt3(w, block.base.x, block.base.y, block.base.z);
    write_counted_string(w, name);
    write_entity_stream(w, block.entities, false, report);
    if (beyond_counted_string(name)) report.lose(Loss::long_string);
    // "DESC" is the kernel's default description, not the block's own.
    if (block.description != nullptr && *block.description != '\0' && std::strcmp(block.description, "DESC") != 0)
      report.lose(Loss::block_description);
    ++report.blocks;
  }
}
