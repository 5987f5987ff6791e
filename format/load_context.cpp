#include "format/load_context.h"

#include <vector>

#include "format/file_window.h"

void report_diagnostic(const tagFile* f, const DiagnosticPlace& place, const char* format, ...) {
  const DiagnosticOutput& out = load_context(f).diagnostics;
  if (!out.enabled()) return;
  va_list args;
  va_start(args, format);
  report_diagnostic_v(out, place, nullptr, format, args);
  va_end(args);
}

void report_stored(const tagFile* f, kttrv::StoredRecord& record, int64_t from, int64_t to) {
  kttrv::LoadObserver* observer = observing(f);
  if (observer == nullptr || from < 0 || to < from || to > f->length) return;
  const auto n = static_cast<std::size_t>(to - from);
  record.offset = static_cast<int32_t>(from);
  // A record is read with its bytes in one buffer unless a read passed the
  // window inside it; then they are read again from the file.
  if (f->window == nullptr) {
    record.bytes = {f->buffer + from, n};
    observer->stored(record);
  } else if (from >= f->base && to <= f->window_end && f->buffer != nullptr) {
    record.bytes = {f->buffer + (from - f->base), n};
    observer->stored(record);
  } else {
    std::vector<unsigned char> copy(n);
    if (!f->window->copy(from, n, copy.data())) return;
    record.bytes = copy;
    observer->stored(record);
  }
}
