// The part of a lighter carrier that is the same for every command that
// shows a drawing and never saves it: it keeps drawables' records only (no
// collections' records, sections or runs) and takes no digests. The
// command's carrier says which drawables' records it keeps.
#pragma once

#include <span>

#include "format/load_observer.h"
#include "kernel/kt_carried.h"

namespace trv {

class DrawablesCarrier : public kttrv::LoadObserver, public KT_Carried {
 public:
  void file(int generation) override { generation_ = generation; }
  int generation() const override { return generation_; }
  bool system_variables_whole() const override { return false; }
  std::span<const KT_Stored> extra_layers() const override { return {}; }
  uint64_t digest(const KT_Drawable&) const override { return 0; }
  uint64_t digest(const KT_Layer&) const override { return 0; }
  uint64_t digest(const KT_Text_Style&) const override { return 0; }
  uint64_t digest(const KT_Dim_Style&) const override { return 0; }
  uint64_t digest(const KT_Block&) const override { return 0; }
  const KT_Stored* run(KT_Carried_Run) const override { return nullptr; }

 private:
  int generation_ = -1;
};

}  // namespace trv
