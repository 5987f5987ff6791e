// The system-variable section: one leading double, then one value per entry
// of the list, each as wide as the entry's type says. Nothing is kept.
#include <algorithm>
#include <span>
#include <string_view>

#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "format/record_reader.h"
#include "tables/sysvar_list.h"

namespace {

constexpr const char* kSection = "system variables";

// The entry at this index holds an int16 although the list types it 8.
constexpr std::size_t kShortStringEntry = 39;

// Bytes of a fixed-width value of this type; 0 for strings, -1 for no type.
int value_width(int8_t type) {
  switch (type) {
    case 1: return 2;
    case 2: return 4;
    case 3:
    case 6: return 16;
    case 4:
    case 5: return 8;
    case 7: return 24;
    case 8: return 0;
    default: return -1;
  }
}

// The writer's section, walked value by value beside the file's.
class WrittenValues {
 public:
  WrittenValues(std::string_view written, LossLedger* ledger) : rest_(written), ledger_(ledger) {}
  bool on() const { return ledger_ != nullptr && !rest_.empty(); }
  // The next written value of width bytes (0: a string to its zero) against
  // the file's; a difference is one variable lost.
  void compare(std::string_view held, int width, std::size_t entry, int32_t at) {
    std::size_t n = width > 0 ? static_cast<std::size_t>(width) : rest_.find('\0');
    const std::string_view written = rest_.substr(0, n);
    rest_.remove_prefix(n == std::string_view::npos ? rest_.size() : std::min(rest_.size(), n + (width > 0 ? 0 : 1)));
    if (held != written) ledger_->note(Loss::system_variable, kSection, entry, at);
  }

 private:
  std::string_view rest_;
  LossLedger* ledger_;
};

// The value's bytes, read from the cursor (a string without its zero).
std::string_view take_value(RecordReader& r, int width) {
  if (width == 0) return r.zero_terminated();
  const RecordView v = r.record(static_cast<std::size_t>(width));
  return r.ok() ? std::string_view(reinterpret_cast<const char*>(v.data()), static_cast<std::size_t>(width))
                : std::string_view();
}

}  // namespace

int read_sysvar_section(tagFile* f, int32_t position, std::string_view written) {
  RecordReader r(f);
  r.seek(position);
  const LoadContext& context = load_context(f);
  WrittenValues reference(written, context.ledger);
  if (reference.on()) {
    const std::string_view leading = take_value(r, 8);
    if (r.ok()) reference.compare(leading, 8, 0, position);
  } else {
    r.skip(8);
  }
  if (!r.ok()) {
    report_diagnostic(r.file(), {kSection, position}, "the leading value lies outside the file");
    return 0;
  }
  const std::span<const SysVarEntry> list =
      context.sysvars != nullptr ? std::span<const SysVarEntry>(*context.sysvars) : std::span<const SysVarEntry>();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const int32_t at = r.offset();
    int width = value_width(list[i].type);
    if (width < 0) {
      report_diagnostic(r.file(), {kSection, at}, "list entry %zu has type %d, outside 1 to 8; walk stopped", i,
                        list[i].type);
      return 0;
    }
    if (width == 0 && i == kShortStringEntry) width = 2;
    // Strings are passed over to their zero without being stored.
    if (reference.on()) {
      const std::string_view value = take_value(r, width);
      if (r.ok()) reference.compare(value, width, i + 1, at);
      else if (width == 0) file_seek(f, 0, 2);
    } else if (width > 0) {
      r.skip(static_cast<uint64_t>(width));
    } else if (r.zero_terminated(), !r.ok()) {
      file_seek(f, 0, 2);  // a string without its zero runs to the end
    }
    if (!r.ok()) {
      report_read_failure(r, kSection, at, "value of entry %zu of %zu", i, list.size());
      return 0;
    }
  }
  return 1;
}
