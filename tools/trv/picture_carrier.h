// What trv render needs of what a load carries, and no more: each drawable's
// stored colour number (so that "by layer" and "by block" are known) and the
// inserts' records (their attribute values are drawn). The rest of the
// records go by, so the picture's load costs what trv check's does.
#pragma once

#include <cstdint>
#include <deque>
#include <memory_resource>
#include <span>
#include <vector>

#include "host/kt_arena.h"

#include "tools/trv/drawables_carrier.h"

namespace trv {

class PictureCarrier final : public DrawablesCarrier {
 public:
  // The load's side.
  void stored(const kttrv::StoredRecord& record) override;

  // The picture's side: an insert's record; nothing else is kept.
  const KT_Stored* stored(const KT_Drawable& drawable) const override;
  const KT_Stored* stored(const KT_Object&) const override { return nullptr; }
  std::span<const KT_Stored> passed(const KT_Block*) const override { return {}; }

 private:
  // The inserts' records, copied into chunks of huge pages where the
  // system has them (as the lists are: a fresh small page costs this
  // machine more than the bytes on it), and by creation number 1 + their
  // place (0: none).
  KT_Arena arena_;
  std::pmr::deque<KT_Stored> inserts_{&arena_};
  std::pmr::vector<uint32_t> by_id_{&arena_};
};

}  // namespace trv
