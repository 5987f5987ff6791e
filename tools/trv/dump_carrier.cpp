#include "tools/trv/dump_carrier.h"

#include <algorithm>
#include <cstring>

#include "format/stored_props.h"
#include "host/kt_drawing_store.h"
#include "view/stored_entity.h"

namespace trv {

void DumpCarrier::stored(const kttrv::StoredRecord& r) {
  if (r.kind != kttrv::StoredKind::entity) return;
  if (r.object != nullptr) [[likely]]
    keep_drawable(r);
  else if (keep_passed_)
    keep_passed(r);
}

KT_Stored DumpCarrier::copy(const kttrv::StoredRecord& r) {
  KT_Stored s;
  s.size = r.bytes.size();
  s.payload = r.payload;
  s.mirrored = r.mirrored;
  if (s.size == 0) return s;
  auto* to = static_cast<unsigned char*>(arena_.take(s.size, 1));
  std::memcpy(to, r.bytes.data(), s.size);
  s.data = to;
  return s;
}

void DumpCarrier::keep_drawable(const kttrv::StoredRecord& r) {
  // The drawable is the host's own, made by this load: it takes the colour
  // number its record stored, as the stand-in kernel's keeping does.
  auto* d = const_cast<KT_Drawable*>(static_cast<const KT_Drawable*>(r.object));
  d->color_number = r.color_number != kttrv::StoredRecord::kNoColorNumber ? r.color_number
                                                                           : stored_color_number(r.bytes);
  if (d->id <= 0) return;
  const auto at = static_cast<std::size_t>(d->id);
  if (!kttrv::view::stored_may_hold_members(r.bytes)) {
    if (at < by_id_.size()) by_id_[at] = 0;  // a record read again for it holds none
    return;
  }
  KT_Stored& s = kept_.emplace_back(copy(r));
  s.color = d->color;
  s.layer = d->layer;
  // Creation numbers rise through a load: room for twice as many at a time.
  if (at >= by_id_.size()) by_id_.resize(std::max(at + 1, 2 * by_id_.size()), 0);
  by_id_[at] = static_cast<uint32_t>(kept_.size());
}

void DumpCarrier::keep_passed(const kttrv::StoredRecord& r) {
  KT_Drawing_Store& store = drawing_.store();
  KT_Stored s = copy(r);
  // It follows the drawable its list ended with when the load read it.
  KT_Entity_List& list = store.open_block != nullptr ? store.open_block->entities : drawing_.model_space;
  s.after = list.last;
  if (store.open_block == nullptr) {
    model_passed_.push_back(s);
    return;
  }
  block_passed_.try_emplace(store.open_block, &arena_).first->second.push_back(s);
}

const KT_Stored* DumpCarrier::stored(const KT_Drawable& drawable) const {
  const auto at = static_cast<std::size_t>(drawable.id);
  if (drawable.id <= 0 || at >= by_id_.size() || by_id_[at] == 0) return nullptr;
  const KT_Stored* s = &kept_[by_id_[at] - 1];
  return s->size != 0 ? s : nullptr;
}

std::span<const KT_Stored> DumpCarrier::passed(const KT_Block* block) const {
  if (block == nullptr) return model_passed_;
  const auto it = block_passed_.find(block);
  return it != block_passed_.end() ? std::span<const KT_Stored>(it->second) : std::span<const KT_Stored>();
}

}  // namespace trv
