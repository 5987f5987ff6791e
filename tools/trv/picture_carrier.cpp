#include "tools/trv/picture_carrier.h"

#include <algorithm>
#include <cstring>

#include "format/stored_props.h"

namespace trv {

namespace {
constexpr int16_t kInsertKind = 23;
}

void PictureCarrier::stored(const kttrv::StoredRecord& r) {
  if (r.kind != kttrv::StoredKind::entity || r.object == nullptr) return;
  // The drawable is the host's own, made by this load: it takes the colour
  // number its record stored, as the stand-in kernel's keeping does.
  auto* d = const_cast<KT_Drawable*>(static_cast<const KT_Drawable*>(r.object));
  d->color_number = r.color_number != kttrv::StoredRecord::kNoColorNumber ? r.color_number
                                                                           : stored_color_number(r.bytes);
  if (d->id <= 0) return;
  const auto at = static_cast<std::size_t>(d->id);
  if (r.entity_kind != kInsertKind || r.bytes.empty()) {
    if (at < by_id_.size()) by_id_[at] = 0;  // a record read again for it is no insert's
    return;
  }
  auto* copy = static_cast<unsigned char*>(arena_.take(r.bytes.size(), 1));
  std::memcpy(copy, r.bytes.data(), r.bytes.size());
  KT_Stored& s = inserts_.emplace_back();
  s.data = copy;
  s.size = r.bytes.size();
  s.payload = r.payload;
  s.mirrored = r.mirrored;
  s.color = d->color;
  s.layer = d->layer;
  // Creation numbers rise through a load: room for twice as many at a time.
  if (at >= by_id_.size()) by_id_.resize(std::max(at + 1, 2 * by_id_.size()), 0);
  by_id_[at] = static_cast<uint32_t>(inserts_.size());
}

const KT_Stored* PictureCarrier::stored(const KT_Drawable& drawable) const {
  const auto at = static_cast<std::size_t>(drawable.id);
  if (drawable.id <= 0 || at >= by_id_.size() || by_id_[at] == 0) return nullptr;
  return &inserts_[by_id_[at] - 1];
}

}  // namespace trv
