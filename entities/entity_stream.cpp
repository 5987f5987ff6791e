#include "entities/entity_stream.h"

#include "entities/kind_table.h"
#include "format/load_context.h"
#include "format/load_stats.h"

namespace {

void read_payload(EntityContext& c, int16_t kind) {
  // Negative codes become large: one comparison sends every code outside the
  // table to slot 0, which reads nothing.
  const auto code = static_cast<uint16_t>(kind);
  kEntityReaders[code < kEntityKindSlots ? code : 0](c);
}

// Where the kernel appends the next drawable: the model space or the block
// being filled (the drawing's last block). A record created its drawable
// when either list's last drawable moved on.
struct CreationMark {
  const KT_Drawable* model = nullptr;
  const KT_Drawable* block = nullptr;
  bool operator==(const CreationMark&) const = default;
};

// A record's fate, counted only when a host installed a tally.
void tally(LoadStats& stats, int16_t kind, bool created, bool whole) {
  EntityRecordTally& t = stats.by_kind[LoadStats::slot(kind)];
  ++t.read;
  // A record whose unused tail is cut may still have created its drawable.
  if (created) ++t.created;
  else if (!whole) ++t.cut;
  else ++t.passed_over;
}

CreationMark creation_mark(const KT_Drawing* drawing) {
  if (drawing == nullptr) return {};
  const auto* block = static_cast<const KT_Block*>(drawing->blocks.last);
  return {drawing->model_space.last, block != nullptr ? block->entities.last : nullptr};
}

// The drawable a record created: the new last one of the list that grew.
const KT_Drawable* made(const KT_Drawing* drawing, const CreationMark& before) {
  const CreationMark now = creation_mark(drawing);
  return now.block != before.block ? now.block : now.model;
}

// The place every record of the stream shares; observe_record fills in the rest.
kttrv::StoredRecord stream_record(const EntityContext& c) {
  kttrv::StoredRecord record;
  record.kind = kttrv::StoredKind::entity;
  record.section = c.block_index == -1 ? "entities" : "block definitions";
  record.block_index = c.block_index;
  return record;
}

void observe_record(const EntityContext& c, kttrv::StoredRecord& record, unsigned long i, int32_t start,
                    int32_t payload, int16_t kind, const KT_Drawable* object) {
  record.index = static_cast<uint32_t>(i);
  record.object = object;
  record.entity_kind = kind;
  record.payload = static_cast<uint32_t>(payload - start);
  record.mirrored = is_mirrored(c.props);
  // None stored is by layer (256). The reader maps a stored 256 to -1, as
  // it does a stored -1: those the host reads from the bytes.
  if ((c.props.flags & 0x0010) == 0) record.color_number = 256;
  else if (c.props.color != -1) record.color_number = c.props.color;
  else record.color_number = kttrv::StoredRecord::kNoColorNumber;
  const tagFile* f = c.r.file();
  const int32_t end = c.r.offset();
  // A file in memory whole (the usual case while a host keeps the records).
  if (f->window == nullptr && start >= 0 && end >= start && end <= f->length) {
    record.offset = start;
    record.bytes = {f->buffer + start, static_cast<std::size_t>(end - start)};
    c.observer->stored(record);
    return;
  }
  report_stored(f, record, start, end);
}

// The stream loop, once counting (a tally, a ledger, an observer) and once
// not, so that a load nobody watches runs the loop it always ran.
template <bool kCounted>
bool read_records(EntityContext& c, unsigned long record_count, LoadStats* stats) {
  [[maybe_unused]] kttrv::StoredRecord heard;
  if constexpr (kCounted) heard = stream_record(c);
  for (unsigned long i = 0; i < record_count; ++i) {
    c.r.between_records();
    const int32_t start = c.r.offset();
    CreationMark before;
    if constexpr (kCounted) {
      before = creation_mark(c.drawing);
      if (c.ledger != nullptr) {
        c.record = i;
        c.record_at = start;
        c.props_kept = true;
      }
    }
    int16_t kind;
    [[maybe_unused]] int32_t payload = 0;
    if (read_kind_and_props(c.r, c.props, kind)) {
      if constexpr (kCounted) payload = c.r.offset();
      read_payload(c, kind);
    }
    if constexpr (kCounted) {
      const bool created = creation_mark(c.drawing) != before;
      if (stats != nullptr) tally(*stats, kind, created, c.r.ok());
      // A cut record is damage, said by the warning below, not a loss.
      if (c.ledger != nullptr && c.r.ok()) note_record_losses(c, kind, created);
      if (c.observer != nullptr && c.r.ok()) observe_record(c, heard, i, start, payload, kind, created ? made(c.drawing, before) : nullptr);
    }
    if (!c.r.ok()) {
      if constexpr (kCounted) {
        if (stats != nullptr) stats->not_reached += record_count - i - 1;
      }
      report_read_failure(c.r, c.block_index, "entities", start, "record %lu of %lu (kind %d)", i, record_count, kind);
      return false;
    }
  }
  return true;
}

bool read_stream(EntityContext& c, unsigned long record_count) {
  LoadStats* const stats = load_context(c.r.file()).tally;
  return stats != nullptr || c.ledger != nullptr || c.observer != nullptr ? read_records<true>(c, record_count, stats)
                                                 : read_records<false>(c, record_count, nullptr);
}

}  // namespace

bool read_entity_stream(tagFile* file, int block_index, unsigned long record_count, const KT_Drawing* drawing) {
  EntityContext c(RecordReader(file), block_index, drawing);
  return read_stream(c, record_count);
}

bool read_entity_stream(RecordReader& section, int block_index, unsigned long record_count,
                        const KT_Drawing* drawing) {
  EntityContext c(section.section(section.remaining()), block_index, drawing);
  return read_stream(c, record_count);
}
