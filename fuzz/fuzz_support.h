// A fresh current drawing per input, so every run starts alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/zirida.h"
#include "load/load.h"
#include "load/sysvar_list_cache.h"

namespace fuzz {

struct FreshDrawing {
  FreshDrawing() { g_current_drawing = &drawing; }
  ~FreshDrawing() { g_current_drawing = nullptr; }
  FreshDrawing(const FreshDrawing&) = delete;
  FreshDrawing& operator=(const FreshDrawing&) = delete;
  KT_Drawing drawing;
};

// The load as a host calls it, with the installed list (read once), the
// tally and the ledger on: every reader's noting and counting runs too.
// observer: who hears of the stored records beside the kernel calls.
inline kttrv::LoadResult load(const uint8_t* data, std::size_t size, int mode, KT_Drawing& drawing,
                              kttrv::LoadObserver* observer = nullptr) {
  static const SysVarList list = [] {
    read_sysvar_list(sysvar_list_path());
    return sysvar_list();
  }();
  kttrv::LoadOptions options;
  options.mode = mode;
  options.sysvar_list = &list;
  options.count_records = true;
  options.note_losses = true;
  options.observer = observer;
  return kttrv::load_drawing(kttrv::LoadSource::bytes({data, size}), drawing, options);
}

}  // namespace fuzz
