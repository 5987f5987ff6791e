#include "format/record_reader.h"

#include <cstdarg>
#include <cstdio>

#include "format/file_window.h"
#include "format/load_context.h"

namespace {

void report_failure(const RecordReader& r, const DiagnosticPlace& place, const char* format, va_list args) {
  const DiagnosticOutput& out = load_context(r.file()).diagnostics;
  if (!out.enabled()) return;
  char what[256];
  std::vsnprintf(what, sizeof what, format, args);
  const auto say = [&](const char* reason_format, int at) {
    report_diagnostic_about(out, place, what, reason_format, what, at);
  };
  switch (r.failure()) {
    case ReadFailure::impossible_count:
      say("%s claims a count the rest of the data cannot hold (byte %d)", static_cast<int>(r.failed_at()));
      return;
    case ReadFailure::bad_value:
      say("%s holds a value it cannot have (byte %d)", static_cast<int>(r.failed_at()));
      return;
    case ReadFailure::none:
    case ReadFailure::end_of_data: break;
  }
  report_diagnostic_about(out, place, what, "%s cut short by the end of the data", what);
}

}  // namespace

void report_read_failure(const RecordReader& r, const char* section, int64_t at, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report_failure(r, {section, at}, format, args);
  va_end(args);
}

void report_read_failure(const RecordReader& r, int block, const char* section, int64_t at, const char* format,
                         ...) {
  va_list args;
  va_start(args, format);
  report_failure(r, {section, at, block}, format, args);
  va_end(args);
}

const unsigned char* RecordReader::take_outside_window(std::size_t n) {
  if (!ok_ || n > left()) return fail(ReadFailure::end_of_data), nullptr;
  const unsigned char* p = at_position(n);
  if (p != nullptr) f_->position += static_cast<int32_t>(n);
  return p;
}

const unsigned char* RecordReader::bring_in(std::size_t n) {
  if (n == 0) return record_detail::kZeros;
  return f_->window != nullptr ? f_->window->bring_in(f_->position, n) : nullptr;
}

void RecordReader::slide_window() {
  if (f_->window != nullptr) f_->window->slide();
}

void RecordReader::seek_window() { f_->window->moved(); }

std::size_t RecordReader::find_zero_outside_window(std::size_t from, std::size_t to) {
  if (f_->window == nullptr) return kNoZero;
  const int64_t at = f_->window->find_zero(int64_t{f_->position} + static_cast<int64_t>(from),
                                           int64_t{f_->position} + static_cast<int64_t>(to));
  return at < 0 ? kNoZero : static_cast<std::size_t>(at - f_->position);
}
