// State shared by the stand-in kernel's translation units.
#pragma once

#include <string>

#include "host/trace_line.h"
#include "host/zirida_host.h"

namespace zirida {

struct TraceState {
  ZiRidaTraceWriter writer = nullptr;
  void* context = nullptr;
  std::string line;  // reused for every line
};
extern TraceState g_trace;

inline bool tracing() { return g_trace.writer != nullptr; }
inline void emit(TraceLine& line) {
  line.finish();
  g_trace.writer(g_trace.line, g_trace.context);
}

}  // namespace zirida
