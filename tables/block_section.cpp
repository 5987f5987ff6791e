// The block-definition section: a uint32 count, then per block a flags word
// and the fields its bits announce; bit 256 brings the block's own entity
// stream, read while the block is open so its drawables land in it.
#include "tables/block_section.h"

#include <string>

#include "entities/entity_stream.h"
#include "format/counted_section.h"
#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "format/record_reader.h"
#include "format/torv_header.h"

namespace {

constexpr const char* kSection = "block definitions";

enum BlockFlag : uint32_t {
  kBaseX = 0x1,
  kBaseY = 0x2,
  kBaseZ = 0x4,
  kValueA = 0x8,
  kValueB = 0x10,
  kName = 0x20,
  kShortText = 0x40,
  kLongText = 0x80,
  kEntities = 0x100,
};

struct BlockRecord {
  uint32_t flags = 0;
  bool values = false;  // the two int16 values or flag bits beyond 256 hold something
  double base[3] = {};
  std::string name;  // whole: inserts name the block in full
};

// Everything the creation call needs, in file order; the two int16 values
// are read past.
void read_block_head(RecordReader& r, BlockRecord& b) {
  b.base[0] = b.base[1] = b.base[2] = 0.0;
  b.name.clear();
  b.flags = r.u32();
  b.values = (b.flags & ~0x1FFu) != 0;
  if (b.flags & kValueA) b.values |= r.i16() != 0;
  if (b.flags & kValueB) b.values |= r.i16() != 0;
  if (b.flags & kBaseX) b.base[0] = r.f64();
  if (b.flags & kBaseY) b.base[1] = r.f64();
  if (b.flags & kBaseZ) b.base[2] = r.f64();
  if (b.flags & kName) b.name.assign(r.counted_view());
}

// The two texts that follow the name; nothing receives them. How many hold
// characters.
int skip_block_texts(RecordReader& r, uint32_t flags) {
  int held = 0;
  if (flags & kLongText) held += !r.counted_view().empty();  // comes first
  if (flags & kShortText) held += !r.counted_view().empty();
  return held;
}

}  // namespace

int read_block_section(tagFile* f, int32_t position, char /*mode_flag*/, const BaseCounts& /*base*/,
                       KT_Drawing& drawing) {
  if (position == -1) return 1;
  RecordReader r(f);
  const std::optional<uint32_t> counted = open_counted_section(r, position, kSection, "block count");
  if (!counted) return 0;
  const uint32_t count = *counted;
  BlockRecord b;
  // The drawing's blocks, counted once and then kept up to date: walking the
  // collection for every block would make the section quadratic.
  long blocks_now = count_collection(drawing.blocks);
  for (uint32_t i = 0; i < count; ++i) {
    r.between_records();
    const int32_t at = r.offset();
    read_block_head(r, b);
    if (!r.ok()) {
      report_read_failure(r, kSection, at, "block %u of %u", i, count);
      return 0;
    }
    KT_Block* block = nullptr;
    const KT_Object* last_before = drawing.blocks.last;
    api_kt_create_block(block, b.name.c_str(), b.base);
    if (drawing.blocks.last != last_before) ++blocks_now;
    // Cut texts or a cut entity count: the block was created with all it
    // receives, so it is closed and the section ends here.
    const int texts = skip_block_texts(r, b.flags);
    if (LossLedger* ledger = load_context(f).ledger; ledger != nullptr && r.ok()) {
      ledger->note(Loss::block_string, kSection, i, at, static_cast<uint64_t>(texts));
      if (b.values) ledger->note(Loss::block_value, kSection, i, at);
    }
    const int32_t stream_at = r.offset();
    if (r.ok() && observing(f) != nullptr)
      report_stored(f, stored_record(kttrv::StoredKind::block, kSection, kSlotBlocks, i, block),
                    at, stream_at);
    const uint32_t entity_count = (b.flags & kEntities) ? r.u32() : 0;
    if (!r.ok()) {
      report_read_failure(r, kSection, at, "block %u of %u", i, count);
      api_kt_end_block(block);
      return 0;
    }
    if (b.flags & kEntities) {
      // Counted after the creation call: the new block is included.
      const int block_index = static_cast<int>(blocks_now);
      if (!read_entity_stream(r, block_index, entity_count, &drawing)) {
        report_read_failure(r, block_index, kSection, stream_at, "entity stream of block %u of %u (block index %d)", i, count,
                            block_index);
        api_kt_end_block(block);
        return 0;
      }
    }
    api_kt_end_block(block);
  }
  return 1;
}
