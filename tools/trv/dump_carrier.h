// What trv dump shows of what a load carries, and no more: each drawable's
// stored colour number, the records of the drawables that hold members of
// their own (stored_may_hold_members: texts, polylines, inserts, chains,
// line types, extrusions, xdata) and, when asked, the records that made
// nothing, in their place. The load reads the file a window at a time and
// only those records are copied, so the dump's load touches little more
// fresh memory than trv check's instead of the file and a slot per record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory_resource>
#include <span>
#include <unordered_map>
#include <vector>

#include "host/kt_arena.h"
#include "tools/trv/drawables_carrier.h"

namespace trv {

class DumpCarrier final : public DrawablesCarrier {
 public:
  // passed_records false: the records that made nothing are not kept.
  DumpCarrier(KT_Drawing& drawing, bool passed_records) : drawing_(drawing), keep_passed_(passed_records) {}

  // The load's side.
  void stored(const kttrv::StoredRecord& record) override;
  // The records are kept for what the host shows, as a carrying host's are.
  bool carries() const override { return true; }

  // The dump's side.
  const KT_Stored* stored(const KT_Drawable& drawable) const override;
  const KT_Stored* stored(const KT_Object&) const override { return nullptr; }
  std::span<const KT_Stored> passed(const KT_Block* block) const override;

 private:
  void keep_drawable(const kttrv::StoredRecord& record);
  void keep_passed(const kttrv::StoredRecord& record);
  KT_Stored copy(const kttrv::StoredRecord& record);

  KT_Drawing& drawing_;
  bool keep_passed_;
  // The copies, packed in chunks of huge pages where the system has them;
  // the lists below live there too (a fresh small page costs this machine
  // more than the bytes on it).
  KT_Arena arena_;
  // The drawables' records, and by creation number 1 + their place there
  // (0: none kept).
  std::pmr::deque<KT_Stored> kept_{&arena_};
  std::pmr::vector<uint32_t> by_id_{&arena_};
  std::pmr::vector<KT_Stored> model_passed_{&arena_};
  std::unordered_map<const KT_Block*, std::pmr::vector<KT_Stored>> block_passed_;
};

}  // namespace trv
