#include "save/save_document.h"

#include <cstring>
#include <string>
#include <vector>

#include "format/loss_ledger.h"
#include "format/torv_header.h"
#include "save/carried_writes.h"
#include "save/drawing_writer.h"
#include "save/entity_writer.h"
#include "save/save_file.h"
#include "save/section_writers.h"
#include "save/sysvar_writer.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"
#include "save/written_sections.h"

namespace {

constexpr int32_t kAbsent = -1;
constexpr int32_t kHeaderDate = 20050101;

struct HeaderRecord {
  std::vector<unsigned char> bytes = std::vector<unsigned char>(kWrittenHeaderSize);
};

void store_int32(HeaderRecord& h, int offset, int32_t value) {
  for (int i = 0; i < 4; ++i)
    h.bytes[offset + i] = static_cast<unsigned char>(static_cast<uint32_t>(value) >> (8 * i));
}

HeaderRecord initial_header() {
  HeaderRecord h;
  h.bytes[0] = 0;   // never 'T': that marks a legacy file
  h.bytes[1] = 11;  // the generation of "HALD 2002"
  std::memcpy(h.bytes.data() + 2, "HALD 2002", 9);
  // A file cut short before the final rewrite leads the loader nowhere.
  for (const TorvSlotInfo& slot : kTorvSlots) store_int32(h, slot.slot, kAbsent);
  store_int32(h, 88, kWrittenHeaderSize);
  store_int32(h, 96, kHeaderDate);
  store_int32(h, 100, kHeaderDate);
  return h;
}

// A carried header keeps what it held beyond the version and the
// directory (and the position behind it, at 88, which is the header's own).
HeaderRecord carried_header(const KT_Stored& stored) {
  HeaderRecord h = initial_header();
  if (stored.size < kTorvHeaderSize) return h;
  h.bytes.assign(stored.data, stored.data + stored.size);
  const HeaderRecord fresh = initial_header();
  std::memcpy(h.bytes.data(), fresh.bytes.data(), kTorvHeaderSize);
  std::memcpy(h.bytes.data() + 16, stored.data + 16, 24);  // six words before the directory
  if (h.bytes.size() >= 92) store_int32(h, 88, static_cast<int32_t>(h.bytes.size()));
  return h;
}

// The header goes out as the 88 bytes the loader reads and the rest.
void write_header(TorvWriter& w, const HeaderRecord& h) {
  writer_put(w, h.bytes.data(), kTorvHeaderSize);
  writer_put(w, h.bytes.data() + kTorvHeaderSize, h.bytes.size() - kTorvHeaderSize);
}

void rewrite_header(TorvWriter& w, const HeaderRecord& h) { writer_rewrite_start(w, h.bytes.data(), h.bytes.size()); }

// The system variables go back as read when every value's form and place
// agree with the list's: the list walked the section to exactly its end
// (whatever the file's generation). Otherwise the writer's own values stand
// and the load's ledger names what differed.
void write_system_variables(TorvWriter& w) {
  const KT_Carried* c = w.carried;
  if (c != nullptr && c->system_variables_whole() &&
      write_run(w, KT_Carried_Run::system_variables))
    return;
  write_sysvar_section(w);
}

// Writes the tag and notes in the slot where the section's data begins.
void begin_section(TorvWriter& w, HeaderRecord& h, TorvSlot slot) {
  write_tag(w, section_tag(slot));
  store_int32(h, slot, w.position);
}

}  // namespace

std::string written_header_rest() {
  const HeaderRecord h = initial_header();
  return std::string(reinterpret_cast<const char*>(h.bytes.data()) + kTorvHeaderSize, kWrittenHeaderSize - kTorvHeaderSize);
}

bool write_drawing(TorvWriter& w, const KT_Drawing& drawing, SaveReport& report) {
  w.drawing = &drawing;
  note_table_losses(w, drawing, report);
  const KT_Stored* stored_header = w.carried != nullptr ? w.carried->run(KT_Carried_Run::header) : nullptr;
  HeaderRecord h = stored_header != nullptr ? carried_header(*stored_header) : initial_header();
  write_header(w, h);

  begin_section(w, h, kSlotSysVars);
  write_system_variables(w);
  begin_section(w, h, kSlotViewports);
  write_viewport_table(w);
  begin_section(w, h, kSlotLineTypes);
  write_line_type_table(w, drawing);
  begin_section(w, h, kSlotTextStyles);
  write_text_style_table(w, drawing);
  begin_section(w, h, kSlotLayers);
  write_layer_table(w, drawing);
  begin_section(w, h, kSlotViews);
  write_view_table(w, drawing);
  begin_section(w, h, kSlotUcs);
  write_ucs_table(w);
  if (w.carried != nullptr && w.carried->run(KT_Carried_Run::app_ids) != nullptr) {
    begin_section(w, h, kSlotAppIds);
    write_run(w, KT_Carried_Run::app_ids);
  } else {
    write_tag(w, section_tag(kSlotAppIds));  // no application ids: the slot stays -1
  }

  // Without dimension styles the slot stays -1, unless the file had the
  // table (its count 0, or what followed its records, comes back).
  if (drawing.dim_styles.first != nullptr ||
      (w.carried != nullptr && w.carried->run(KT_Carried_Run::dim_styles_tail) != nullptr)) {
    begin_section(w, h, kSlotDimStyles);
    write_dim_style_table(w, drawing, report);
  } else {
    write_tag(w, section_tag(kSlotDimStyles));
  }

  begin_section(w, h, kSlotBlockTable);
  write_block_table(w, drawing);
  // The block definitions follow the block table's count directly.
  if (drawing.blocks.first != nullptr) {
    store_int32(h, kSlotBlocks, w.position);
    write_block_section(w, drawing, report);
    write_run(w, KT_Carried_Run::blocks_tail);
  }

  begin_section(w, h, kSlotEntities);
  write_entity_stream(w, drawing.model_space, nullptr, report);

  if (!write_run(w, KT_Carried_Run::closing)) {
    const std::string& closing = written_closing();
    writer_put(w, closing.data(), closing.size());
  }

  rewrite_header(w, h);
  return w.ok;
}
