#include "tools/trv/picture_carrier.h"

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
  d->color_number = stored_color_number(r.bytes);
  if (r.entity_kind != kInsertKind || r.bytes.empty()) return;
  const std::vector<unsigned char>& copy = bytes_.emplace_back(r.bytes.begin(), r.bytes.end());
  KT_Stored s;
  s.data = copy.data();
  s.size = copy.size();
  s.payload = r.payload;
  s.mirrored = r.mirrored;
  s.color = d->color;
  s.layer = d->layer;
  inserts_[d] = s;
}

const KT_Stored* PictureCarrier::stored(const KT_Drawable& drawable) const {
  const auto found = inserts_.find(&drawable);
  return found == inserts_.end() ? nullptr : &found->second;
}

}  // namespace trv
