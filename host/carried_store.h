// What the stand-in kernel keeps of a loaded file beside the drawing: it
// listens to a load (LoadObserver) and answers a save (KT_Carried). The
// load reads the file into an arena of the store's own (beside the
// drawing's, so that the drawables stay close together for walks); each
// record is kept where it lies there, with the object it became, by its
// creation number; records that made nothing are kept in their stream with
// the drawable they followed.
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
  // Where a stored record lies in the last load's file; -1 when it is a copy
  // (the load read the file a window at a time, or the record came from
  // elsewhere).
  long long file_offset(const KT_Stored& stored) const {
    return in_file(stored.bytes()) ? static_cast<long long>(stored.data - file_) : -1;
  }
  // Most of a load's records are entity records that made their drawable.
  void stored(const kttrv::StoredRecord& record) override {
    if (record.kind == kttrv::StoredKind::entity && record.object != nullptr) [[likely]]
      keep_drawable(record);
    else
      keep_other(record);
  }
  bool carries() const override { return true; }
  unsigned char* room_for_file(std::size_t size) override;
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
  // The records by creation number, in pages of the arena that come zeroed
  // from the system (a page's untouched part costs nothing): a slot whose
  // size is 0 holds none.
  static constexpr std::size_t kPageBits = 16;
  static constexpr std::size_t kPage = std::size_t{1} << kPageBits;
  const KT_Stored* by_id(long id) const {
    const auto at = static_cast<std::size_t>(id);
    if (id <= 0 || (at >> kPageBits) >= pages_.size()) return nullptr;
    const KT_Stored* page = pages_[at >> kPageBits];
    if (page == nullptr) return nullptr;
    const KT_Stored* s = &page[at & (kPage - 1)];
    return s->size != 0 ? s : nullptr;
  }
  // The slot of a creation number (null for none).
  KT_Stored* slot(long id) {
    const auto at = static_cast<std::size_t>(id);
    if (id > 0 && (at >> kPageBits) < pages_.size() && pages_[at >> kPageBits] != nullptr)
      return &pages_[at >> kPageBits][at & (kPage - 1)];
    return new_slot(id);
  }
  KT_Stored* new_slot(long id);  // makes its page
  void keep_drawable(const kttrv::StoredRecord& record);
  void keep_other(const kttrv::StoredRecord& record);
  KT_Stored keep(std::span<const unsigned char> bytes);
  // Keeps bytes as the record of a collection element, with its digest.
  template <class T>
  void keep_for(const T* object, std::span<const unsigned char> bytes);
  // The bytes where they lie in the file, else a copy in the arena.
  const unsigned char* hold(std::span<const unsigned char> bytes) {
    return in_file(bytes) ? bytes.data() : copy(bytes);
  }
  const unsigned char* copy(std::span<const unsigned char> bytes);
  bool in_file(std::span<const unsigned char> bytes) const {
    return !bytes.empty() && bytes.data() >= file_ && bytes.data() + bytes.size() <= file_ + file_size_;
  }

  KT_Drawing& drawing_;
  KT_Arena arena_;  // the file, every record's fields (and bytes from elsewhere), the index's pages
  // The last load's file, in the arena: the records read from it are kept
  // where they lie.
  const unsigned char* file_ = nullptr;
  std::size_t file_size_ = 0;
  int generation_ = -1;
  bool sysvars_whole_ = false;
  // By creation number.
  std::vector<KT_Stored*> pages_;  // in the arena
  std::vector<KT_Stored> model_passed_;
  std::vector<KT_Stored> extra_layers_;
  std::unordered_map<const KT_Block*, std::vector<KT_Stored>> block_passed_;
  KT_Stored runs_[static_cast<int>(KT_Carried_Run::count_)];
  bool has_run_[static_cast<int>(KT_Carried_Run::count_)] = {};
};
