#include "legacy/legacy_entities.h"

#include "format/record_reader.h"

namespace {

bool stop(LegacyEntityWalk& w, int64_t at, const char* why) {
  w.state = LegacyEntityEnd::stopped;
  w.why = why;
  w.stop_offset = at;
  return false;
}

}  // namespace

LegacyEntityWalk begin_legacy_entities(const unsigned char* data, std::size_t size, int32_t start,
                                       int32_t end) {
  LegacyEntityWalk w;
  w.data = data;
  w.size = size;
  w.next = start;
  w.end = end;
  if (start < 0 || static_cast<uint64_t>(start) > size) stop(w, start, "the section starts outside the file");
  else if (end < start) stop(w, start, "the end offset lies before the start");
  return w;
}

bool next_legacy_entity(LegacyEntityWalk& w, LegacyEntityFrame& frame) {
  if (w.state != LegacyEntityEnd::walking) return false;
  const int64_t at = w.next;
  if (at == w.end) {
    w.state = LegacyEntityEnd::end_offset;
    w.stop_offset = at;
    return false;
  }
  const auto size = static_cast<int64_t>(w.size);
  // The record must end by the end offset and inside the file.
  const int64_t limit = w.end < size ? w.end : size;
  const char* past = w.end <= size ? "record runs past the section's end offset" : "record runs past the end of the file";
  // The walk reads up to the end offset or the file's end, whichever comes first.
  tagFile f{w.data, static_cast<int32_t>(limit), static_cast<int32_t>(at)};
  RecordReader r(&f);
  const auto head = r.record<kLegacyFrameSize>();
  if (!r.ok()) return stop(w, at, past);
  frame.offset = at;
  frame.kind = head.get<uint8_t, 0>();
  frame.options = head.get<uint8_t, 1>();
  frame.length = head.get<int16_t, 2>();
  if (frame.length < kLegacyFrameSize) return stop(w, at, "record length is shorter than its 8-byte frame");
  const auto room = static_cast<std::size_t>(frame.length - kLegacyFrameSize);
  RecordReader record = r.section(room);
  if (!r.ok()) return stop(w, at, past);

  // The optional fields, inside the record's length.
  if (frame.options & kLegacyOptCounted) record.counted_view();
  if (frame.options & kLegacyOptWord1) record.skip(2);
  if (frame.options & kLegacyOptWord2) record.skip(2);
  if (frame.options & kLegacyOptLong) record.skip(4);
  if (!record.ok()) return stop(w, at, "optional fields run past the record's length");
  frame.payload_offset = record.offset();
  frame.payload_size = static_cast<int64_t>(record.remaining());

  w.next = at + frame.length;
  if (frame.kind == kLegacyLastKind) {
    w.state = LegacyEntityEnd::last_record;
    w.stop_offset = at;
  }
  return true;
}

LegacyEntitySummary summarize_legacy_entities(const unsigned char* data, std::size_t size, int32_t start,
                                              int32_t end) {
  LegacyEntitySummary s;
  LegacyEntityWalk w = begin_legacy_entities(data, size, start, end);
  LegacyEntityFrame frame;
  while (next_legacy_entity(w, frame)) {
    ++s.records;
    ++s.by_kind[frame.kind];
  }
  s.end = w.state;
  s.why = w.why;
  s.stop_offset = w.stop_offset;
  return s;
}
