#include "legacy/legacy_loader.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <limits>

#include "legacy/legacy_layout.h"
#include "legacy/legacy_sysvars.h"
#include "legacy/legacy_tables.h"
#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "legacy/legacy_entities.h"

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
// on_record(index, flag, body). False at the first record that does not lie wholly
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
      report_diagnostic(f, {table_section(table), legacy_record_start(d, i)},
                        "record %d of %d (%zu bytes, stride %d from byte %d) lies outside the file", i,
                        int{d.count}, body_size + 1, int{d.stride}, d.offset);
      return false;
    }
    on_record(i, flag, body);
  }
  return true;
}

bool holds(const unsigned char* data, std::size_t size, int64_t from, int64_t n) {
  if (from < 0 || n <= 0 || static_cast<uint64_t>(from) >= size) return false;
  const auto end = static_cast<std::size_t>(std::min<uint64_t>(size, static_cast<uint64_t>(from + n)));
  for (auto i = static_cast<std::size_t>(from); i < end; ++i)
    if (data[i] != 0) return true;
  return false;
}

// Nothing of a legacy file reaches a saved file but the number of its text
// styles and blocks (as the kernel's defaults): what its fixed part, its
// tables and its entity records held is noted. The default objects the load
// creates are the kernel's, not the file's.
void note_fixed_part(const unsigned char* data, std::size_t size, const LegacyFixedPart& fixed,
                     LegacyFixedStatus status, LossLedger& ledger) {
  constexpr int64_t kDirectory = kLegacyHeaderSize;
  const bool unread_directory = holds(data, size, kDirectory + 8, 8) || holds(data, size, kDirectory + 48, 32);
  const bool preview = fixed.preview_offset >= 0;
  const bool extra = holds(data, size, fixed.extra_offset, kLegacyExtraBlockSize);
  const bool trailer = status == LegacyFixedStatus::ok &&
                       holds(data, size, fixed.sysvars_offset - static_cast<int64_t>(kLegacyTrailerSize),
                             kLegacyTrailerSize);
  ledger.note(Loss::legacy_header, "legacy header", 0, 0, unread_directory + preview + extra + trailer);
}

void note_entities(const unsigned char* data, std::size_t size, const LegacyFixedPart& fixed, LossLedger& ledger) {
  const LegacyEntitySummary s =
      summarize_legacy_entities(data, size, fixed.directory.entities_start, fixed.directory.entities_end);
  ledger.note(Loss::legacy_entity, "legacy entities", 0, fixed.directory.entities_start, s.records);
}

void put16(std::vector<unsigned char>& out, int16_t v) {
  out.push_back(static_cast<unsigned char>(v & 0xFF));
  out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void put32(std::vector<unsigned char>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}
void put_counted(std::vector<unsigned char>& out, const char* s) {
  const std::size_t n = std::strlen(s);
  put16(out, static_cast<int16_t>(n));
  out.insert(out.end(), s, s + n);
}
void put_real(std::vector<unsigned char>& out, double v) {
  unsigned char b[8];
  std::memcpy(b, &v, 8);
  out.insert(out.end(), b, b + 8);
}

// A legacy layer as a current layer record: name flag, flags byte, a spare
// byte, colour number, line type number 0, two spare bytes, the name.
std::vector<unsigned char> current_layer_record(const LegacyLayer& layer) {
  std::vector<unsigned char> out;
  put32(out, 1);
  out.push_back(layer.flag);
  out.push_back(0);
  put16(out, layer.color);
  put16(out, 0);
  put16(out, 0);
  put_counted(out, layer.name);
  return out;
}

// The head of the block made for a legacy block record: the kernel block's
// base and name, and the record's text as the block's short text (flags
// base x, y, z, name, short text).
std::vector<unsigned char> current_block_head(const KT_Block& block, const char* text) {
  std::vector<unsigned char> out;
  put32(out, 0x1 | 0x2 | 0x4 | 0x20 | 0x40);
  put_real(out, block.base.x);
  put_real(out, block.base.y);
  put_real(out, block.base.z);
  put_counted(out, block.name != nullptr ? block.name : "");
  put_counted(out, text);
  return out;
}

void report_legacy(tagFile* f, kttrv::StoredKind kind, const char* section, int i, int64_t at, std::size_t size,
                   const void* object, const std::vector<unsigned char>& converted) {
  kttrv::StoredRecord record = stored_record(kind, section, 0, static_cast<uint32_t>(i), object);
  record.converted = converted;
  report_stored(f, record, at, at + static_cast<int64_t>(size));
}

}  // namespace

int load_legacy_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing,
                       const LoadContext& context) {
  // The driver refuses files beyond 32-bit positions before it gets here.
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return 0;
  tagFile f{data, static_cast<int32_t>(size), 0};
  f.context = &context;
  LegacyFixedPart fixed;
  const LegacyFixedStatus status = read_legacy_fixed_part(&f, fixed);
  if (!legacy_directory_read(status)) return 0;

  // The table's outcome does not concern the load. It starts behind the
  // fixed part; when that cannot be reached (a bad preview, a cut extra
  // block or point), it is skipped and the tables, which lie at their own
  // positions, are still read.
  LossLedger* const ledger = load_context(&f).ledger;
  if (ledger != nullptr) {
    note_fixed_part(data, size, fixed, status, *ledger);
    note_entities(data, size, fixed, *ledger);
  }
  if (mode == -1 && status == LegacyFixedStatus::ok) {
    const int32_t table_at = f.position;
    int entries = 0;
    walk_legacy_sysvar_table(&f, &entries);
    if (ledger != nullptr) ledger->note(Loss::legacy_system_variable, "legacy system variables", 0, table_at,
                                        static_cast<uint64_t>(entries));
  } else if (mode == -1) {
    report_diagnostic(&f, {"legacy system variables", f.position},
                      "not read: the fixed part before them does not lie wholly inside the file");
  }

  // What a record held, noted for the ledger: layers and line types are lost
  // whole (no layer is created, no line type written); a text style or block
  // keeps only what the kernel's default holds, so one whose record holds
  // anything loses it.
  auto note = [&](Loss what, LegacyTable table, int i, bool lost) {
    if (ledger != nullptr && lost)
      ledger->note(what, table_section(table), static_cast<uint64_t>(i),
                   legacy_record_start(fixed.directory.tables[table], i));
  };
  auto held = [&](LegacyTable table, uint8_t flag, const unsigned char* body) {
    return flag != 0 || holds(body, legacy_body_size(table, fixed.generation), 0,
                              static_cast<int64_t>(legacy_body_size(table, fixed.generation)));
  };
  // Layers are read through, but a legacy load creates none. A host that
  // carries the file keeps each as a current layer record (its name, colour
  // and flags; only the two bytes behind the colour have no place there).
  kttrv::LoadObserver* const observer = observing(&f);
  const bool carried = observer != nullptr && observer->carries();
  if (!walk_table(&f, fixed, kLegacyLayers, [&](int i, uint8_t flag, const unsigned char* body) {
        const LegacyLayer layer = decode_legacy_layer(flag, body);
        note(Loss::legacy_layer, kLegacyLayers, i, !carried || holds(body, kLegacyLayerBody, 34, 2));
        if (observer != nullptr)
          report_legacy(&f, kttrv::StoredKind::legacy_layer, table_section(kLegacyLayers), i,
                        legacy_record_start(fixed.directory.tables[kLegacyLayers], i), 1 + kLegacyLayerBody, nullptr,
                        current_layer_record(layer));
      }))
    return 0;
  // Only the number of records counts: the defaults take nothing from a body.
  if (!walk_table(&f, fixed, kLegacyLineTypes, [&](int i, uint8_t, const unsigned char*) {
        kt_append_line_type(drawing);
        note(Loss::legacy_line_type, kLegacyLineTypes, i, true);
      }))
    return 0;
  if (!walk_table(&f, fixed, kLegacyTextStyles, [&](int i, uint8_t flag, const unsigned char* body) {
        (void)legacy_font_names(body);  // no text style takes them
        kt_append_text_style(drawing);
        note(Loss::legacy_text_style, kLegacyTextStyles, i, held(kLegacyTextStyles, flag, body));
      }))
    return 0;
  // A carrying host keeps a block's text with the block made for it; the
  // words and bytes behind the text have no place in a current file.
  if (!walk_table(&f, fixed, kLegacyBlocks, [&](int i, uint8_t flag, const unsigned char* body) {
        const KT_Block* block = kt_append_block(drawing);
        const std::size_t body_size = legacy_body_size(kLegacyBlocks, fixed.generation);
        const std::size_t text_size = body_size - 22;
        const bool rest = flag != 0 || holds(body, body_size, static_cast<int64_t>(text_size), 22);
        note(Loss::legacy_block, kLegacyBlocks, i, carried ? rest : held(kLegacyBlocks, flag, body));
        if (observer != nullptr && block != nullptr && body[0] != 0) {
          char text[kLegacyBlockBody15 + 1] = {};
          std::memcpy(text, body, text_size);
          report_legacy(&f, kttrv::StoredKind::legacy_block, table_section(kLegacyBlocks), i,
                        legacy_record_start(fixed.directory.tables[kLegacyBlocks], i), 1 + body_size, block,
                        current_block_head(*block, text));
        }
      }))
    return 0;
  // The entity section is not converted; its records were counted above.
  return 1;
}
