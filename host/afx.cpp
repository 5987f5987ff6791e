// The framework's message box, sent to a replaceable sink and traced.
#include <cstdio>

#include "host/kernel_state.h"
#include "kernel/afx.h"

namespace {
AfxMessageSink g_sink = nullptr;
void* g_sink_context = nullptr;
}  // namespace

void afx_set_message_sink(AfxMessageSink sink, void* context) {
  g_sink = sink;
  g_sink_context = context;
}

int AfxMessageBox(const char* text, unsigned /*type*/, unsigned /*help_id*/) {
  if (zirida::tracing()) {
    TraceLine t(zirida::g_trace.line, "AfxMessageBox");
    t.arg(text);
    zirida::emit(t);
  }
  if (g_sink) g_sink(text, g_sink_context);
  else std::fprintf(stderr, "%s\n", text ? text : "");
  return 1;  // IDOK
}
