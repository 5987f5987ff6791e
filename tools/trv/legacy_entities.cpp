#include "tools/trv/legacy_entities.h"

#include <cstring>

namespace {

bool stop(LegacyEntityWalk& w, int64_t at, const char* why) {
  w.state = LegacyEntityEnd::stopped;
  w.why = why;
  w.stop_offset = at;
  return false;
}

int16_t int16_at(const unsigned char* p) {
  int16_t v = 0;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The bytes of the optional fields from `at`, within the record's `room`
// bytes after the frame; -1 when they do not fit.
int64_t optional_fields_size(const unsigned char* at, int64_t room, uint8_t options) {
  int64_t used = 0;
  if (options & kLegacyOptCounted) {
    if (room < 2) return -1;
    const int16_t n = int16_at(at);
    used = 2 + (n > 0 ? n : 0);
  }
  if (options & kLegacyOptWord1) used += 2;
  if (options & kLegacyOptWord2) used += 2;
  if (options & kLegacyOptLong) used += 4;
  return used <= room ? used : -1;
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
  if (limit - at < kLegacyFrameSize) return stop(w, at, past);

  const unsigned char* p = w.data + at;
  frame.offset = at;
  frame.kind = p[0];
  frame.options = p[1];
  frame.length = int16_at(p + 2);
  if (frame.length < kLegacyFrameSize) return stop(w, at, "record length is shorter than its 8-byte frame");
  if (frame.length > limit - at) return stop(w, at, past);

  const int64_t room = frame.length - kLegacyFrameSize;
  const int64_t optional = optional_fields_size(p + kLegacyFrameSize, room, frame.options);
  if (optional < 0) return stop(w, at, "optional fields run past the record's length");
  frame.payload_offset = at + kLegacyFrameSize + optional;
  frame.payload_size = room - optional;

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
