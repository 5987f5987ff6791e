#include "host/carried_store.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "format/stored_props.h"
#include "host/kt_drawing_store.h"
#include "host/kt_digest.h"

namespace {

using kttrv::StoredKind;

// The section a run of bytes stands for.
int run_of(const kttrv::StoredRecord& r) {
  switch (r.kind) {
    case StoredKind::header: return static_cast<int>(KT_Carried_Run::header);
    case StoredKind::system_variables: return static_cast<int>(KT_Carried_Run::system_variables);
    case StoredKind::closing: return static_cast<int>(KT_Carried_Run::closing);
    case StoredKind::section:
      switch (r.slot) {
        case 44: return static_cast<int>(KT_Carried_Run::viewports);
        case 48: return static_cast<int>(KT_Carried_Run::line_types);
        case 60: return static_cast<int>(KT_Carried_Run::views);
        case 64: return static_cast<int>(KT_Carried_Run::ucs);
        case 68: return static_cast<int>(KT_Carried_Run::block_table);
        case 72: return static_cast<int>(KT_Carried_Run::app_ids);
        default: return -1;
      }
    case StoredKind::section_tail:
      switch (r.slot) {
        case 52: return static_cast<int>(KT_Carried_Run::layers_tail);
        case 56: return static_cast<int>(KT_Carried_Run::text_styles_tail);
        case 76: return static_cast<int>(KT_Carried_Run::dim_styles_tail);
        case 80: return static_cast<int>(KT_Carried_Run::blocks_tail);
        default: return -1;
      }
    default: return -1;
  }
}

}  // namespace

unsigned char* CarriedStore::room_for_file(std::size_t size) {
  try {
    auto* room = static_cast<unsigned char*>(arena_.take(size, 64));
    file_ = room;
    file_size_ = size;
    return room;
  } catch (const std::bad_alloc&) {
    return nullptr;  // the load reads a window at a time and the records are copied
  }
}

const unsigned char* CarriedStore::copy(std::span<const unsigned char> bytes) {
  if (bytes.empty()) return nullptr;
  auto* p = static_cast<unsigned char*>(arena_.take(bytes.size(), 1));
  std::memcpy(p, bytes.data(), bytes.size());
  return p;
}

KT_Stored CarriedStore::keep(std::span<const unsigned char> bytes) {
  KT_Stored s;
  s.data = hold(bytes);
  s.size = bytes.size();
  return s;
}

KT_Stored* CarriedStore::new_slot(long id) {
  if (id <= 0) return nullptr;
  const auto at = static_cast<std::size_t>(id);
  if ((at >> kPageBits) >= pages_.size()) pages_.resize((at >> kPageBits) + 1, nullptr);
  KT_Stored*& page = pages_[at >> kPageBits];
  // KT_Stored is an aggregate whose zero bytes are its empty value.
  if (page == nullptr) page = static_cast<KT_Stored*>(arena_.take_zeroed(kPage * sizeof(KT_Stored), alignof(KT_Stored)));
  return &page[at & (kPage - 1)];
}

template <class T>
void CarriedStore::keep_for(const T* object, std::span<const unsigned char> bytes) {
  if (object == nullptr || bytes.empty()) return;
  KT_Stored* s = slot(object->id);
  if (s == nullptr) return;
  *s = keep(bytes);
  s->digest = kt_digest(*object);
}

void CarriedStore::keep_drawable(const kttrv::StoredRecord& r) {
  auto* d = const_cast<KT_Drawable*>(static_cast<const KT_Drawable*>(r.object));
  // The entity reader hands over the number it read; others leave it to the bytes.
  d->color_number = r.color_number != kttrv::StoredRecord::kNoColorNumber ? r.color_number
                                                                           : stored_color_number(r.bytes);
  KT_Stored* s = slot(d->id);
  if (s == nullptr) return;
  s->data = hold(r.bytes);
  s->size = r.bytes.size();
  s->payload = r.payload;
  s->mirrored = r.mirrored;
  s->digest = kt_digest(*d);
  s->color = d->color;
  s->layer = d->layer;
}

void CarriedStore::keep_other(const kttrv::StoredRecord& r) {
  KT_Drawing_Store& store = drawing_.store();
  switch (r.kind) {
    case StoredKind::entity: {
      KT_Stored s = keep(r.bytes);
      s.payload = r.payload;
      s.mirrored = r.mirrored;
      KT_Entity_List& list = store.open_block != nullptr ? store.open_block->entities : drawing_.model_space;
      s.after = list.last;
      (store.open_block != nullptr ? block_passed_[store.open_block] : model_passed_).push_back(s);
      return;
    }
    case StoredKind::layer: return keep_for(static_cast<const KT_Layer*>(r.object), r.bytes);
    case StoredKind::text_style: return keep_for(static_cast<const KT_Text_Style*>(r.object), r.bytes);
    case StoredKind::block: return keep_for(static_cast<const KT_Block*>(r.object), r.bytes);
    case StoredKind::legacy_block: return keep_for(static_cast<const KT_Block*>(r.object), r.converted);
    case StoredKind::dim_style: {
      // Its creation call gives nothing back: the kernel kept what it made.
      const KT_Dim_Style* o = store.made_dim_style;
      store.made_dim_style = nullptr;
      keep_for(o, r.bytes);
      return;
    }
    case StoredKind::legacy_layer:
      if (!r.converted.empty()) extra_layers_.push_back(keep(r.converted));
      return;
    default:
      break;
  }
  const int run = run_of(r);
  if (run < 0) return;
  runs_[run] = keep(r.bytes);
  has_run_[run] = true;
  if (r.kind == StoredKind::system_variables) sysvars_whole_ = r.complete;
}

std::span<const KT_Stored> CarriedStore::passed(const KT_Block* block) const {
  if (block == nullptr) return model_passed_;
  const auto it = block_passed_.find(block);
  return it != block_passed_.end() ? std::span<const KT_Stored>(it->second) : std::span<const KT_Stored>();
}

const KT_Stored* CarriedStore::run(KT_Carried_Run which) const {
  const auto i = static_cast<int>(which);
  return has_run_[i] ? &runs_[i] : nullptr;
}
