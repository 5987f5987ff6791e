#include "view/layer_index.h"

#include "view/ranges.h"

namespace kttrv::view {

LayerIndex::LayerIndex(const KT_Drawing& drawing) {
  for (const KT_Layer& layer : layers_of(drawing)) layers_.push_back(&layer);
}

}  // namespace kttrv::view
