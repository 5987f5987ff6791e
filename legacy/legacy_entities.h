// The legacy entity section: records from the directory's start offset up to
// its end offset, each behind an 8-byte frame (kind, option bits, int16
// length counted from the record's first byte, 4 bytes), then the optional
// fields the option bits announce, then the kind's payload. The section ends
// at the end offset or after a record of kind 13. Payloads are not decoded.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kLegacyFrameSize = 8;
inline constexpr uint8_t kLegacyLastKind = 13;

// Option bits, in the order their fields follow the frame.
inline constexpr uint8_t kLegacyOptCounted = 0x40;  // int16 n, then n bytes
inline constexpr uint8_t kLegacyOptWord1 = 0x01;    // int16
inline constexpr uint8_t kLegacyOptWord2 = 0x02;    // int16
inline constexpr uint8_t kLegacyOptLong = 0x20;     // 4 bytes

struct LegacyEntityFrame {
  int64_t offset = 0;  // the record's first byte
  uint8_t kind = 0;
  uint8_t options = 0;
  int16_t length = 0;
  int64_t payload_offset = 0;  // after the optional fields
  int64_t payload_size = 0;
};

enum class LegacyEntityEnd : uint8_t {
  walking,      // not finished yet
  last_record,  // after a record of kind 13
  end_offset,   // the next record would start at the end offset
  stopped,      // a record could not be framed; see why and stop_offset
};

// A walk over the section. Plain state; start it with begin_legacy_entities.
struct LegacyEntityWalk {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  int64_t next = 0;  // the next record's first byte
  int64_t end = 0;   // the directory's end offset
  LegacyEntityEnd state = LegacyEntityEnd::walking;
  const char* why = "";  // for stopped
  int64_t stop_offset = -1;
};

LegacyEntityWalk begin_legacy_entities(const unsigned char* data, std::size_t size, int32_t start,
                                       int32_t end);

// Frames the next record and moves past it. False once the walk has ended
// (state says how). Never reads outside the data; every record moves the
// walk forward by at least its frame, so it ends.
bool next_legacy_entity(LegacyEntityWalk& walk, LegacyEntityFrame& frame);

// The walk's outcome: records by kind and how the section ended.
struct LegacyEntitySummary {
  uint32_t records = 0;
  uint32_t by_kind[256] = {};
  LegacyEntityEnd end = LegacyEntityEnd::walking;
  const char* why = "";
  int64_t stop_offset = -1;  // where the walk stopped or ended
};
LegacyEntitySummary summarize_legacy_entities(const unsigned char* data, std::size_t size, int32_t start,
                                              int32_t end);
