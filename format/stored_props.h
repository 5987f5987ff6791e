// Where the layer and colour numbers lie in a stored entity record (its kind
// code first, then the property block's flags and fixed fields): the
// stand-in kernel reads the colour number from it, and a save patches both
// into a record whose drawable changed.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

struct StoredPropsFields {
  uint16_t flags = 0;
  int layer_at = -1;  // -1: not stored
  int color_at = -1;
  bool whole = false;  // the record holds every field its flags announce up to the colour's
};

inline StoredPropsFields stored_props_fields(std::span<const unsigned char> record) {
  StoredPropsFields f;
  if (record.size() < 4) return f;
  std::memcpy(&f.flags, record.data() + 2, 2);
  std::size_t at = 4;
  if (f.flags & 0x0001) {
    f.layer_at = static_cast<int>(at);
    at += 2;
  }
  if (f.flags & 0x0002) at += 2;
  at += 8;
  if (f.flags & 0x0004) at += 8;
  if (f.flags & 0x0008) at += 8;
  if (f.flags & 0x0010) {
    f.color_at = static_cast<int>(at);
    at += 2;
  }
  f.whole = at <= record.size();
  if (!f.whole) f.layer_at = f.color_at = -1;
  return f;
}

// The colour number as stored: 256 (by layer) when the record stores none.
inline int16_t stored_color_number(std::span<const unsigned char> record) {
  const StoredPropsFields f = stored_props_fields(record);
  if (f.color_at < 0) return 256;
  int16_t n;
  std::memcpy(&n, record.data() + f.color_at, 2);
  return n;
}
