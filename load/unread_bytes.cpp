#include "load/unread_bytes.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "format/record_reader.h"
#include "save/written_sections.h"

namespace {

// The header's rest runs from here up to the first section.
constexpr int64_t kDirectoryEnd = kTorvHeaderSize;

// Where the sections of the file start, in order, and its end: a section
// the loader does not read runs up to the next of them.
class SectionStarts {
 public:
  SectionStarts(const TorvHeader& header, int64_t size) : size_(size) {
    for (const TorvSlotInfo& slot : kTorvSlots) {
      const int64_t at = header_slot(header, slot.slot);
      if (at >= kDirectoryEnd && at < size) starts_.push_back(at);
    }
    starts_.push_back(size);
    std::sort(starts_.begin(), starts_.end());
  }
  int64_t size() const { return size_; }
  // The first start at or behind `at`.
  int64_t from(int64_t at) const { return *std::lower_bound(starts_.begin(), starts_.end(), at); }

 private:
  int64_t size_;
  std::vector<int64_t> starts_;
};

std::string bytes_at(tagFile& f, int64_t at, std::size_t n) {
  std::string out(n, '\0');
  RecordReader r(&f);
  r.seek(static_cast<int32_t>(at));
  if (n != 0 && !r.bytes(out.data(), n)) return {};
  return out;
}

// A writer puts its sections' tags in front of them: the tags that end a
// run of bytes belong to the sections behind it.
int64_t without_tags(tagFile& f, int64_t from, int64_t to) {
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (const TorvSlotInfo& slot : kTorvSlots) {
      const auto n = static_cast<int64_t>(std::strlen(slot.tag));
      if (n == 0 || to - from < n) continue;
      if (bytes_at(f, to - n, static_cast<std::size_t>(n)) == slot.tag) {
        to -= n;
        stripped = true;
      }
    }
  }
  return to;
}

// Whether the bytes from `from` up to the next section (its tags aside) are
// `expected`, or, with `prefix`, its beginning.
bool holds_only(tagFile& f, int64_t from, int64_t to, std::string_view expected, bool prefix) {
  to = without_tags(f, from, to);
  const auto n = static_cast<std::size_t>(to - from);
  if (n > expected.size() || (!prefix && n != expected.size())) return false;
  return bytes_at(f, from, n) == expected.substr(0, n);
}

void note_header(tagFile& f, const TorvHeader& header, const SectionStarts& starts, LossLedger& ledger) {
  // The marker is 0 in every written file; the generation byte follows the
  // version, which a save changes by design. The version's padding and the
  // reserved words are zeros.
  const char* zero = static_cast<const char*>(std::memchr(header.version, 0, sizeof header.version));
  bool held = header.marker != 0;
  if (zero != nullptr)
    for (const char* c = zero; c != header.version + sizeof header.version; ++c) held |= *c != 0;
  for (int32_t word : header.reserved) held |= word != 0;
  const int64_t first = starts.from(kDirectoryEnd);
  if (!holds_only(f, kDirectoryEnd, first, written_header_rest(), true)) held = true;
  if (held) ledger.note(Loss::header_field, "header", 0, 0);
}

constexpr TorvSlot kUnreadTables[] = {kSlotViewports, kSlotLineTypes, kSlotViews,
                                      kSlotUcs,       kSlotBlockTable, kSlotAppIds};

}  // namespace

void note_unread_bytes(tagFile& f, const TorvHeader& header, const KT_Drawing& drawing, int64_t entities_end,
                       const std::vector<SectionEnd>& ends, LossLedger& ledger) {
  const SectionStarts starts(header, f.length);
  note_header(f, header, starts, ledger);
  for (TorvSlot slot : kUnreadTables) {
    const int64_t at = header_slot(header, slot);
    if (at < kDirectoryEnd || at >= starts.size()) continue;
    const int64_t end = starts.from(at + 1);
    if (!holds_only(f, at, end, written_unread_table(slot, drawing), false))
      ledger.note(Loss::unread_section, kTorvSlots[(slot - 40) / 4].name, 0, at);
  }
  // Records a count leaves out, or bytes nobody reads, behind a table.
  for (const SectionEnd& end : ends) {
    if (end.at < kDirectoryEnd || end.at >= starts.size()) continue;
    if (!holds_only(f, end.at, starts.from(end.at), {}, false))
      ledger.note(Loss::unread_section, end.section, 0, end.at);
  }
  if (entities_end >= kDirectoryEnd && entities_end < starts.size()) {
    const int64_t end = starts.from(entities_end);
    if (!holds_only(f, entities_end, end, written_closing(), true))
      ledger.note(Loss::unread_section, "closing dictionaries", 0, entities_end);
  }
}
