// What trv render needs of what a load carries, and no more: each drawable's
// stored colour number (so that "by layer" and "by block" are known) and the
// inserts' records (their attribute values are drawn). The rest of the
// records go by, so the picture's load costs what trv check's does.
#pragma once

#include <deque>
#include <span>
#include <unordered_map>
#include <vector>

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
  std::deque<std::vector<unsigned char>> bytes_;  // each record's own copy: it stays where it is
  std::unordered_map<const KT_Drawable*, KT_Stored> inserts_;
};

}  // namespace trv
