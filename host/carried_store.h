// What the stand-in kernel keeps of a loaded file beside the drawing: it
// listens to a load (LoadObserver) and answers a save (KT_Carried). Each
// record's bytes are copied into an arena of its own (beside the drawing's,
// so that the drawables stay close together for walks) and kept with the
// object they became, by its creation number; records that made nothing
// are kept in their stream with the drawable they followed.
#pragma once

#include <unordered_map>
#include <vector>

#include "format/load_observer.h"
#include "host/kt_arena.h"
#include "host/kt_digest.h"
#include "kernel/kt_carried.h"

class CarriedStore final : public kttrv::LoadObserver, public KT_Carried {
 public:
  explicit CarriedStore(KT_Drawing& drawing) : drawing_(drawing) {}

  void file(int generation) override { generation_ = generation; }
  void stored(const kttrv::StoredRecord& record) override;
  bool carries() const override { return true; }
  // The bytes its arena holds from the system.
  std::size_t reserved() const { return arena_.reserved(); }

  int generation() const override { return generation_; }
  bool system_variables_whole() const override { return sysvars_whole_; }
  const KT_Stored* stored(const KT_Drawable& drawable) const override { return by_id(drawable.id); }
  const KT_Stored* stored(const KT_Object& object) const override { return by_id(object.id); }
  std::span<const KT_Stored> passed(const KT_Block* block) const override;
  const KT_Stored* run(KT_Carried_Run which) const override;
  std::span<const KT_Stored> extra_layers() const override { return extra_layers_; }
  uint64_t digest(const KT_Drawable& d) const override { return kt_digest(d); }
  uint64_t digest(const KT_Layer& l) const override { return kt_digest(l); }
  uint64_t digest(const KT_Text_Style& s) const override { return kt_digest(s); }
  uint64_t digest(const KT_Dim_Style& s) const override { return kt_digest(s); }
  uint64_t digest(const KT_Block& b) const override { return kt_digest(b); }

 private:
  // The index by creation number is in pages of the arena: it grows without
  // copying, in the arena's large pages.
  static constexpr std::size_t kPageBits = 16;
  static constexpr std::size_t kPage = std::size_t{1} << kPageBits;
  const KT_Stored* by_id(long id) const {
    const auto at = static_cast<std::size_t>(id);
    if (id <= 0 || (at >> kPageBits) >= pages_.size()) return nullptr;
    const KT_Stored* const* page = pages_[at >> kPageBits];
    return page != nullptr ? page[at & (kPage - 1)] : nullptr;
  }
  KT_Stored keep(std::span<const unsigned char> bytes);
  // Keeps bytes as the record of a collection element, with its digest.
  template <class T>
  void keep_for(const T* object, std::span<const unsigned char> bytes);
  KT_Stored* place(std::span<const unsigned char> bytes);  // a record of its own, in the arena
  void attach(long id, const KT_Stored* stored);

  KT_Drawing& drawing_;
  KT_Arena arena_;  // every record's fields and bytes, and the index's pages
  int generation_ = -1;
  bool sysvars_whole_ = false;
  // By creation number.
  std::vector<const KT_Stored**> pages_;
  std::vector<KT_Stored> model_passed_;
  std::vector<KT_Stored> extra_layers_;
  std::unordered_map<const KT_Block*, std::vector<KT_Stored>> block_passed_;
  KT_Stored runs_[static_cast<int>(KT_Carried_Run::count_)];
  bool has_run_[static_cast<int>(KT_Carried_Run::count_)] = {};
};
