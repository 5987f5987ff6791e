// The stand-in kernel's side of a drawing: the arena its objects come from
// and the state the creation operations keep.
#pragma once

#include <memory>
#include <memory_resource>
#include <vector>

#include "host/carried_store.h"
#include "host/kt_arena.h"
#include "kernel/zirida.h"

// A drawing's storage: every object and string of the drawing comes from its
// arena; the rest is what the creation operations need between calls.
struct KT_Drawing_Store {
  KT_Arena arena;
  KT_Block* open_block = nullptr;  // between api_kt_create_block and api_kt_end_block
  KT_Dim_Style* made_dim_style = nullptr;  // what the last api_kt_create_dim_style made; null: nothing
  long next_id = 1;
  // Layers by number (their place in `layers`), for colour look-ups.
  std::pmr::vector<KT_Layer*> layer_index{&arena};
  // What loads carried into the drawing beside the kernel calls; made when a
  // load first asks for it.
  std::unique_ptr<CarriedStore> carried;
};
