#include "format/diagnostics.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace {
KtTrvDiagnosticSink g_sink = nullptr;
void* g_context = nullptr;
}  // namespace

void set_diagnostic_sink(KtTrvDiagnosticSink sink, void* context) {
  g_sink = sink;
  g_context = context;
}

bool diagnostics_enabled() { return g_sink != nullptr; }

void report_diagnostic(const char* section, int64_t offset, const char* format, ...) {
  if (g_sink == nullptr) return;
  char what[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(what, sizeof what, format, args);
  va_end(args);
  char line[400];
  std::snprintf(line, sizeof line, "%s: %s at byte %" PRId64, section, what, offset);
  g_sink(line, g_context);
}

void report_diagnostic_line(const char* line) {
  if (g_sink != nullptr) g_sink(line, g_context);
}
