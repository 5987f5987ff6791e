#include "format/load_context.h"

void report_diagnostic(const tagFile* f, const DiagnosticPlace& place, const char* format, ...) {
  const DiagnosticOutput& out = load_context(f).diagnostics;
  if (!out.enabled()) return;
  va_list args;
  va_start(args, format);
  report_diagnostic_v(out, place, nullptr, format, args);
  va_end(args);
}
