#include "view/walk.h"

#include <algorithm>
#include <span>
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
    std::size_t at = 0;
    for (const KT_Drawable& d : drawables_of(list)) {
      if (!visit_one(d, placement)) {
        // Unwinding: the innermost place comes first and is turned round at the top.
        if (options_.stopped_at != nullptr) options_.stopped_at->push_back(at);
        return false;
      }
      ++at;
    }
    return true;
  }

  void stopped() {
    if (options_.stopped_at != nullptr) std::reverse(options_.stopped_at->begin(), options_.stopped_at->end());
  }

 private:
  bool visit_one(const KT_Drawable& d, const Placement& placement) {
    if (options_.shown && !options_.shown(d)) return true;
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
    return true;
  }

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

// The forward walk's visits turned round. Each list is seen as an array
// (made once, the first time it is entered); the rules for entering a
// block are the forward walk's.
class BackwardWalker {
 public:
  using Visit = std::function<void(const KT_Drawable&, const Placement&)>;

  BackwardWalker(const KT_Drawing& drawing, const WalkOptions& options, std::span<const std::size_t> stopped_at,
                 const Visit& visit)
      : options_(options), stopped_at_(stopped_at), visit_(visit) {
    for (const KT_Block& block : blocks_of(drawing))
      blocks_.try_emplace(std::string_view(block.name ? block.name : ""), &block);
  }

  // The drawables of the list before `end` (all: SIZE_MAX) from the last;
  // `depth` is the list's place in stopped_at_ while the walk follows it.
  void walk(const KT_Entity_List& list, const Placement& placement, std::size_t depth) {
    const std::vector<const KT_Drawable*>& items = array_of(list);
    std::size_t end = items.size();
    if (depth < stopped_at_.size()) {
      end = std::min(end, stopped_at_[depth]);
      // Above the innermost depth the walk stopped inside this insert,
      // after visiting it: what it visited of its block, then the insert.
      if (depth + 1 < stopped_at_.size() && end < items.size()) {
        visit_one(*items[end], placement, depth + 1);
      }
    }
    for (std::size_t i = end; i-- > 0;) visit_one(*items[i], placement, stopped_at_.size());
  }

 private:
  void visit_one(const KT_Drawable& d, const Placement& placement, std::size_t depth) {
    if (options_.shown && !options_.shown(d)) return;
    if (const KT_Insert_Entity* insert = as_insert(d)) enter(*insert, placement, depth);
    visit_(d, placement);
  }

  void enter(const KT_Insert_Entity& insert, const Placement& placement, std::size_t depth) {
    const auto found = blocks_.find(insert.block_name ? insert.block_name : "");
    if (found == blocks_.end() || open_.size() >= kMaxInsertDepth) return;
    const KT_Block* block = found->second;
    for (const KT_Block* b : open_)
      if (b == block) return;
    open_.push_back(block);
    if (options_.inserts != nullptr) options_.inserts->push_back(&insert);
    walk(block->entities, placement.then_inner(Placement::of_insert(insert, block->base)), depth);
    if (options_.inserts != nullptr) options_.inserts->pop_back();
    open_.pop_back();
  }

  const std::vector<const KT_Drawable*>& array_of(const KT_Entity_List& list) {
    auto [it, made] = arrays_.try_emplace(&list);
    if (made)
      for (const KT_Drawable& d : drawables_of(list)) it->second.push_back(&d);
    return it->second;
  }

  const WalkOptions& options_;
  std::span<const std::size_t> stopped_at_;
  const Visit& visit_;
  std::unordered_map<std::string_view, const KT_Block*> blocks_;
  std::unordered_map<const KT_Entity_List*, std::vector<const KT_Drawable*>> arrays_;
  std::vector<const KT_Block*> open_;
};

}  // namespace

bool walk_model_space(const KT_Drawing& drawing, const WalkOptions& options,
                      const std::function<void(const KT_Drawable&, const Placement&)>& visit) {
  if (options.stopped_at != nullptr) options.stopped_at->clear();
  Walker walker(drawing, options, visit);
  const bool whole = walker.walk(drawing.model_space, Placement{});
  if (!whole) walker.stopped();
  return whole;
}

void walk_model_space_backwards(const KT_Drawing& drawing, const WalkOptions& options,
                                const std::vector<std::size_t>* stopped_at,
                                const std::function<void(const KT_Drawable&, const Placement&)>& visit) {
  const std::span<const std::size_t> stop =
      stopped_at != nullptr ? std::span<const std::size_t>(*stopped_at) : std::span<const std::size_t>();
  BackwardWalker walker(drawing, options, stop, visit);
  walker.walk(drawing.model_space, Placement{}, 0);
}

}  // namespace kttrv::view
