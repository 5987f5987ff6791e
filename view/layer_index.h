// Layers by number. A drawable's `layer` is its layer's place in the
// drawing's layer collection (0 first); the kernel keeps no index the
// interface shows, so one is built per dump or picture (one walk).
#pragma once

#include <cstddef>
#include <vector>

#include "kernel/zirida.h"

namespace kttrv::view {

class LayerIndex {
 public:
  explicit LayerIndex(const KT_Drawing& drawing);

  // The layer of that number, or null when there is none.
  const KT_Layer* find(long number) const {
    if (number < 0 || static_cast<std::size_t>(number) >= layers_.size()) return nullptr;
    return layers_[static_cast<std::size_t>(number)];
  }
  std::size_t size() const { return layers_.size(); }

 private:
  std::vector<const KT_Layer*> layers_;
};

}  // namespace kttrv::view
