#include "view/walk.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "view/drawables.h"
#include "view/ranges.h"

namespace kttrv::view {

namespace {

long long vertices_of(const KT_Drawable& d) {
  if (d.kind != KT_Drawable_Kind::polyline && d.kind != KT_Drawable_Kind::point_set) return 0;
  return std::max(0L, static_cast<const KT_Vertex_Entity&>(d).count);
}

class Walker {
 public:
  using Visit = std::function<void(const KT_Drawable&, const Placement&)>;

  Walker(const KT_Drawing& drawing, const WalkOptions& options, const Visit& visit)
      : options_(options), visit_(visit) {
    for (const KT_Block& block : blocks_of(drawing))
      blocks_.try_emplace(std::string_view(block.name ? block.name : ""), &block);
  }

  bool walk(const KT_Entity_List& list, const Placement& placement) {
    for (const KT_Drawable& d : drawables_of(list)) {
      if (options_.shown && !options_.shown(d)) continue;
      if (++visits_ > kMaxVisits) return false;
      if (options_.budget > 0) {
        work_ += 1 + vertices_of(d);
        if (work_ > options_.budget) return false;
      }
      visit_(d, placement);
      if (options_.charged != nullptr) {
        work_ += *options_.charged;
        *options_.charged = 0;
      }
      if (const KT_Insert_Entity* insert = as_insert(d); insert && !enter(*insert, placement)) return false;
    }
    return true;
  }

 private:
  bool enter(const KT_Insert_Entity& insert, const Placement& placement) {
    const auto found = blocks_.find(insert.block_name ? insert.block_name : "");
    if (found == blocks_.end() || open_.size() >= kMaxInsertDepth) return true;
    const KT_Block* block = found->second;
    for (const KT_Block* b : open_)
      if (b == block) return true;
    open_.push_back(block);
    if (options_.inserts != nullptr) options_.inserts->push_back(&insert);
    const bool ok = walk(block->entities, placement.then_inner(Placement::of_insert(insert, block->base)));
    if (options_.inserts != nullptr) options_.inserts->pop_back();
    open_.pop_back();
    return ok;
  }

  const WalkOptions& options_;
  const Visit& visit_;
  std::unordered_map<std::string_view, const KT_Block*> blocks_;
  std::vector<const KT_Block*> open_;
  long visits_ = 0;
  long long work_ = 0;
};

}  // namespace

bool walk_model_space(const KT_Drawing& drawing, const WalkOptions& options,
                      const std::function<void(const KT_Drawable&, const Placement&)>& visit) {
  Walker walker(drawing, options, visit);
  return walker.walk(drawing.model_space, Placement{});
}

}  // namespace kttrv::view
