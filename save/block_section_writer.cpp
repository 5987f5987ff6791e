// Block definitions: a uint32 count, then per block the flags word 0x127
// (base x, y, z, name, entities), the base point, the name and the block's
// own entity stream.
#include <cstring>

#include "save/carried_writes.h"
#include "save/entity_writer.h"
#include "save/section_writers.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

namespace {

constexpr int32_t kBlockFlags = 0x1 | 0x2 | 0x4 | 0x20 | 0x100;

constexpr uint32_t kEntitiesBit = 0x100;

// The block's head as it was stored (its flags, values, base, name and
// texts), then its entities. A head that announced no entities gets the
// bit when the block now has some.
void write_carried_block(TorvWriter& w, const KT_Block& block, const KT_Stored& head, SaveReport& report) {
  uint32_t flags = 0;
  if (head.size >= 4) std::memcpy(&flags, head.data, 4);
  const bool empty = block.entities.first == nullptr && w.carried->passed(&block).empty();
  if ((flags & kEntitiesBit) != 0 || empty || head.size < 4) {
    write_stored(w, head);
  } else {
    flags |= kEntitiesBit;
    writer_put(w, &flags, 4);
    writer_put(w, head.data + 4, head.size - 4);
  }
  if ((flags & kEntitiesBit) != 0 || !empty) write_entity_stream(w, block.entities, &block, report);
  ++report.blocks;
}

}  // namespace

void write_block_section(TorvWriter& w, const KT_Drawing& drawing, SaveReport& report) {
  write_int32(w, table_count(drawing.blocks));
  for (const KT_Object* o = drawing.blocks.first; o != nullptr && w.ok; o = o->next) {
    const auto& block = static_cast<const KT_Block&>(*o);
    if (const KT_Stored* head = unchanged(w, block)) {
      write_carried_block(w, block, *head, report);
      continue;
    }
    const char* name = block.name != nullptr ? block.name : "";
    write_int32(w, kBlockFlags);
    write_pt3(w, block.base.x, block.base.y, block.base.z);
    write_counted_string(w, name);
    write_entity_stream(w, block.entities, &block, report);
    if (beyond_counted_string(name)) report.lose(Loss::long_string);
    // "DESC" is the kernel's default description, not the block's own.
    if (block.description != nullptr && *block.description != '\0' && std::strcmp(block.description, "DESC") != 0)
      report.lose(Loss::block_description);
    ++report.blocks;
  }
}
