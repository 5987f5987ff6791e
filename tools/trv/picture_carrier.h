// What trv render needs of what a load carries, and no more: each drawable's
// stored colour number (so that "by layer" and "by block" are known) and the
// inserts' records (their attribute values are drawn). The rest of the
// records go by, so the picture's load costs what trv check's does.
#pragma once

#include <deque>
#include <span>
#include <unordered_map>
#include <vector>

#include "format/load_observer.h"
#include "kernel/kt_carried.h"

namespace trv {

class PictureCarrier final : public kttrv::LoadObserver, public KT_Carried {
 public:
  // The load's side.
  void file(int generation) override { generation_ = generation; }
  void stored(const kttrv::StoredRecord& record) override;

  // The picture's side: an insert's record; nothing else is kept.
  const KT_Stored* stored(const KT_Drawable& drawable) const override;
  const KT_Stored* stored(const KT_Object&) const override { return nullptr; }
  int generation() const override { return generation_; }
  bool system_variables_whole() const override { return false; }
  std::span<const KT_Stored> passed(const KT_Block*) const override { return {}; }
  std::span<const KT_Stored> extra_layers() const override { return {}; }
  uint64_t digest(const KT_Drawable&) const override { return 0; }
  uint64_t digest(const KT_Layer&) const override { return 0; }
  uint64_t digest(const KT_Text_Style&) const override { return 0; }
  uint64_t digest(const KT_Dim_Style&) const override { return 0; }
  uint64_t digest(const KT_Block&) const override { return 0; }
  const KT_Stored* run(KT_Carried_Run) const override { return nullptr; }

 private:
  int generation_ = -1;
  std::deque<std::vector<unsigned char>> bytes_;  // each record's own copy: it stays where it is
  std::unordered_map<const KT_Drawable*, KT_Stored> inserts_;
};

}  // namespace trv
