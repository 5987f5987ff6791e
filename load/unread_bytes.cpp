#include "load/unread_bytes.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "format/load_context.h"
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

// At most a few hundred bytes, read once; the buffers the read brought in
// are let go at once (nothing of them is held).
std::string bytes_at(tagFile& f, int64_t at, std::size_t n) {
  std::string out(n, '\0');
  RecordReader r(&f);
  r.seek(static_cast<int32_t>(at));
  const bool read = n == 0 || r.bytes(out.data(), n);
  r.between_records();
  return read ? out : std::string();
}

// The tags a writer puts right in front of `to`: those of the sections that
// start there, and those of absent sections, which it writes bare. Each
// may stand there once; none stands at the end of the file.
std::vector<std::string_view> tags_before(const TorvHeader& header, int64_t to, int64_t size) {
  std::vector<std::string_view> tags;
  if (to >= size) return tags;
  for (const TorvSlotInfo& slot : kTorvSlots) {
    const int32_t at = header_slot(header, slot.slot);
    if (*slot.tag != '\0' && (at == to || at == -1)) tags.emplace_back(slot.tag);
  }
  return tags;
}

// Where the run from `from` up to `to` ends once the tags in front of `to`
// are taken off its end.
int64_t untagged_end(tagFile& f, const TorvHeader& header, int64_t from, int64_t to) {
  std::vector<std::string_view> tags = tags_before(header, to, f.length);
  std::size_t most = 0;
  for (std::string_view tag : tags) most += tag.size();
  const int64_t look = std::max(from, to - static_cast<int64_t>(most));
  const std::string tail = bytes_at(f, look, static_cast<std::size_t>(to - look));
  std::string_view run(tail);
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (auto it = tags.begin(); it != tags.end(); ++it) {
      if (run.size() >= it->size() && run.substr(run.size() - it->size()) == *it) {
        run.remove_suffix(it->size());
        tags.erase(it);
        stripped = true;
        break;
      }
    }
  }
  return look + static_cast<int64_t>(run.size());
}

// Whether the bytes from `from` up to `to` (the tags in front of the section
// there aside) are `expected`, or, with `prefix`, its beginning. A run longer
// than that and every tag is a loss without being read.
bool holds_only(tagFile& f, const TorvHeader& header, int64_t from, int64_t to, std::string_view expected,
                bool prefix) {
  std::vector<std::string_view> tags = tags_before(header, to, f.length);
  std::size_t most = expected.size();
  for (std::string_view tag : tags) most += tag.size();
  if (to - from > static_cast<int64_t>(most)) return false;
  std::string run = bytes_at(f, from, static_cast<std::size_t>(to - from));
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (auto it = tags.begin(); it != tags.end(); ++it) {
      if (run.size() >= it->size() && std::string_view(run).substr(run.size() - it->size()) == *it) {
        run.resize(run.size() - it->size());
        tags.erase(it);
        stripped = true;
        break;
      }
    }
  }
  if (run.size() > expected.size() || (!prefix && run.size() != expected.size())) return false;
  return run == expected.substr(0, run.size());
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
  if (!holds_only(f, header, kDirectoryEnd, first, written_header_rest(), true)) held = true;
  if (held) ledger.note(Loss::header_field, "header", 0, 0);
}

constexpr TorvSlot kUnreadTables[] = {kSlotViewports, kSlotLineTypes, kSlotViews,
                                      kSlotUcs,       kSlotBlockTable, kSlotAppIds};

}  // namespace

void note_unread_bytes(tagFile& f, const TorvHeader& header, const KT_Drawing& drawing, int64_t entities_end,
                       const std::vector<SectionEnd>& ends, bool fresh, LossLedger& ledger) {
  const SectionStarts starts(header, f.length);
  note_header(f, header, starts, ledger);
  for (TorvSlot slot : kUnreadTables) {
    const int64_t at = header_slot(header, slot);
    if (at < kDirectoryEnd || at >= starts.size()) continue;
    // The view and block tables hold counts of the drawing, which a load into
    // a drawing that held styles or blocks before does not know alone.
    if (!fresh && (slot == kSlotViews || slot == kSlotBlockTable)) continue;
    const int64_t end = starts.from(at + 1);
    if (!holds_only(f, header, at, end, written_unread_table(slot, drawing), false))
      ledger.note(Loss::unread_section, kTorvSlots[(slot - 40) / 4].name, 0, at);
  }
  // Records a count leaves out, or bytes nobody reads, behind a table.
  for (const SectionEnd& end : ends) {
    if (end.at < kDirectoryEnd || end.at >= starts.size()) continue;
    if (!holds_only(f, header, end.at, starts.from(end.at), {}, false))
      ledger.note(Loss::unread_section, end.section, 0, end.at);
  }
  if (entities_end >= kDirectoryEnd && entities_end < starts.size()) {
    const int64_t end = starts.from(entities_end);
    if (!holds_only(f, header, entities_end, end, written_closing(), true))
      ledger.note(Loss::unread_section, "closing dictionaries", 0, entities_end);
  }
}

namespace {

// The run from `from` up to the next section: the next start behind `from`
// for a section that starts there, the next at or behind it for what
// follows a section's records (which may end where the next one starts).
void report_run(tagFile& f, const TorvHeader& header, const SectionStarts& starts, kttrv::StoredRecord record,
                int64_t from, bool starts_section = true) {
  if (from < 0 || from >= starts.size()) return;
  const int64_t to = untagged_end(f, header, from, starts.from(starts_section ? from + 1 : from));
  // The runs are read with the cursor's seek; what the window held for the
  // readers is not needed again.
  const std::string bytes = bytes_at(f, from, static_cast<std::size_t>(to - from));
  if (static_cast<int64_t>(bytes.size()) != to - from) return;
  record.offset = static_cast<int32_t>(from);
  record.bytes = {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
  observing(&f)->stored(record);
}

}  // namespace

bool report_unread_runs(tagFile& f, const TorvHeader& header, int64_t sysvars_end, int64_t entities_end,
                        const std::vector<SectionEnd>& ends) {
  if (observing(&f) == nullptr) return false;
  bool sysvars_whole = false;
  const SectionStarts starts(header, f.length);
  report_run(f, header, starts, stored_record(kttrv::StoredKind::header, "header", 0), 0);
  const int32_t sysvars = header_slot(header, kSlotSysVars);
  if (sysvars >= kDirectoryEnd && sysvars < starts.size()) {
    const int64_t to = untagged_end(f, header, sysvars, starts.from(int64_t{sysvars} + 1));
    kttrv::StoredRecord record = stored_record(kttrv::StoredKind::system_variables, "system variables", kSlotSysVars);
    record.complete = sysvars_whole = sysvars_end == to;
    report_run(f, header, starts, record, sysvars);
  }
  for (TorvSlot slot : kUnreadTables) {
    const int64_t at = header_slot(header, slot);
    if (at < kDirectoryEnd) continue;
    report_run(f, header, starts, stored_record(kttrv::StoredKind::section, kTorvSlots[(slot - 40) / 4].name, slot), at);
  }
  for (const SectionEnd& end : ends) {
    if (end.at < kDirectoryEnd || end.at >= starts.size() || end.slot == 0) continue;
    report_run(f, header, starts, stored_record(kttrv::StoredKind::section_tail, end.section, end.slot), end.at,
               false);
  }
  if (entities_end >= kDirectoryEnd)
    report_run(f, header, starts, stored_record(kttrv::StoredKind::closing, "closing dictionaries", kSlotEntities),
               entities_end, false);
  return sysvars_whole;
}
