// State shared by the stand-in kernel's translation units.
#pragma once

#include <string>
#include <string_view>

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

// Writes the trace line of `op`, its arguments added by `fill`. Out of line
// and cold: an operation whose trace is off stays a small leaf function
// (no registers saved for a trace that is not written).
template <class Fill>
[[gnu::cold, gnu::noinline]] void trace(std::string_view op, const Fill& fill) {
  TraceLine t(g_trace.line, op);
  fill(t);
  emit(t);
}

}  // namespace zirida
