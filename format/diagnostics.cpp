#include "format/diagnostics.h"

#include <cinttypes>
#include <cstdio>

void report_diagnostic_v(const DiagnosticOutput& out, const DiagnosticPlace& place, const char* subject,
                         const char* format, va_list args) {
  if (!out.enabled()) return;
  char what[256];
  std::vsnprintf(what, sizeof what, format, args);
  char line[400];
  std::snprintf(line, sizeof line, "%s: %s at byte %" PRId64, place.section, what, place.offset);
  if (out.sink != nullptr) out.sink(line, out.sink_context);
  if (out.list == nullptr && out.each == nullptr) return;
  kttrv::Diagnostic d;
  d.severity = place.offset == -1 ? kttrv::Severity::note : place.severity;
  d.section = place.section;
  d.offset = place.offset;
  d.reason = what;
  if (subject != nullptr) d.subject = subject;
  d.block = place.block;
  d.text = line;
  if (out.each != nullptr) out.each(d, out.each_context);
  if (out.list != nullptr) out.list->push_back(std::move(d));
}

void report_diagnostic(const DiagnosticOutput& out, const DiagnosticPlace& place, const char* format, ...) {
  if (!out.enabled()) return;
  va_list args;
  va_start(args, format);
  report_diagnostic_v(out, place, nullptr, format, args);
  va_end(args);
}

void report_diagnostic_about(const DiagnosticOutput& out, const DiagnosticPlace& place, const char* subject,
                             const char* format, ...) {
  if (!out.enabled()) return;
  va_list args;
  va_start(args, format);
  report_diagnostic_v(out, place, subject, format, args);
  va_end(args);
}
