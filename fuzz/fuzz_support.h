// A fresh current drawing per input, so every run starts alike.
#pragma once

#include "kernel/zirida.h"

namespace fuzz {

struct FreshDrawing {
  FreshDrawing() { g_current_drawing = &drawing; }
  ~FreshDrawing() { g_current_drawing = nullptr; }
  FreshDrawing(const FreshDrawing&) = delete;
  FreshDrawing& operator=(const FreshDrawing&) = delete;
  KT_Drawing drawing;
};

}  // namespace fuzz
