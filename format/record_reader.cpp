#include "format/record_reader.h"

#include <cstdarg>
#include <cstdio>

#include "format/file_window.h"

void report_read_failure(const RecordReader& r, const char* section, int64_t at, const char* format, ...) {
  if (!diagnostics_enabled()) return;
  char what[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(what, sizeof what, format, args);
  va_end(args);
  switch (r.failure()) {
    case ReadFailure::impossible_count:
      report_diagnostic(section, at, "%s claims a count the rest of the data cannot hold (byte %d)", what,
                        static_cast<int>(r.failed_at()));
      return;
    case ReadFailure::bad_value:
      report_diagnostic(section, at, "%s holds a value it cannot have (byte %d)", what,
                        static_cast<int>(r.failed_at()));
      return;
    case ReadFailure::none:
    case ReadFailure::end_of_data: break;
  }
  report_diagnostic(section, at, "%s cut short by the end of the data", what);
}

const unsigned char* RecordReader::bring_in(std::size_t n) {
  if (n == 0) return record_detail::kZeros;
  return f_->window != nullptr ? f_->window->bring_in(f_->position, n) : nullptr;
}

void RecordReader::slide_window() {
  if (f_->window != nullptr) f_->window->slide();
}
