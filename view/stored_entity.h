// What an entity record holds beyond the drawable it made, read back from its
// stored bytes (kind, common property block, payload, attribute run): the
// stored colour and line type numbers, the extrusion, the xdata items, and
// an insert's z scale and attribute records. Any bytes may be given: every
// read is bounds-checked, and a record cut short gives what lies before the
// cut and says so.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kttrv::view {

// One xdata item: its group code and the value that code carries.
struct XdataItem {
  enum class Type : uint8_t {
    none,     // a code that carries nothing
    text,     // 1000 to 1005: a counted string
    point,    // 1010 to 1013: three reals
    real,     // 1040 to 1042
    integer,  // 1070 (16-bit), 1071 (32-bit)
  };
  int16_t code = 0;
  Type type = Type::none;
  std::string text;  // the file's bytes
  double point[3] = {};
  double real = 0.0;
  long integer = 0;
};

// One attribute record of an insert's run: from its 102 bytes the first
// point, the second point, the angle (degrees), the height, and a string for
// each of the three presence fields that is not zero.
struct StoredAttribute {
  double point[2] = {};
  double second_point[2] = {};
  double angle = 0.0;
  double height = 0.0;
  std::optional<std::string> strings[3];  // absent where the presence field is zero
};

// A kind 13 vertex beyond its x and y: its mask, z, the reals of mask bits
// 0, 1, 2 and 4, the flags of bit 3 and the 16-bit values of bits 5 to 8
// (each list holds only what the mask announces, in file order).
struct StoredVertex {
  int32_t mask = 0;
  double z = 0.0;
  double reals[4] = {};
  int real_count = 0;
  std::optional<int16_t> flags;
  int16_t values[4] = {};
  int value_count = 0;
};

// A kind 28 chain beyond its points: the fields the kernel does not
// receive, and the three reals of each vertex when the extras field is
// greater than 0.
struct StoredChain {
  uint16_t flags = 0;  // bit 9: closed
  double real = 0.0;
  int32_t value = 0;
  int32_t extras_field = 0;  // 0: a point set; other values: a polyline
  std::vector<std::array<double, 3>> extras;
};

struct StoredEntity {
  bool has_kind = false;  // the record held at least its kind
  int16_t kind = 0;
  // The record was read to the end of what its fields announce without
  // running out of bytes (what lies behind them is not looked at).
  bool whole = false;
  uint16_t flags = 0;  // the property block's flags
  std::optional<int16_t> layer;
  std::optional<int16_t> color_number;  // as stored: 256 by layer, 0 by block
  std::optional<int16_t> line_type;     // as stored
  bool has_extrusion = false;
  double extrusion[3] = {};  // absent components 0
  std::vector<XdataItem> xdata;
  // Inserts (kind 23) only.
  std::optional<double> z_scale;
  std::vector<StoredAttribute> attributes;
  // Texts (kinds 7 and 11): the insertion z and the second point, which the
  // kernel does not receive.
  std::optional<double> insertion_z;
  std::optional<std::array<double, 3>> second_point;
  // Polylines (kind 13): the header's flags, and each vertex's z and the
  // values its mask announces.
  std::optional<int32_t> polyline_flags;
  std::vector<StoredVertex> vertices;
  // Chains (kind 28).
  std::optional<StoredChain> chain;
};

inline constexpr int16_t kInsertKind = 23;
inline constexpr int16_t kPolylineKind = 13;
inline constexpr int16_t kChainKind = 28;

StoredEntity decode_stored_entity(std::span<const unsigned char> bytes);
// The same into e, whose lists keep the room they had: a caller decoding
// many records (trv dump) makes them once instead of once a record.
void decode_stored_entity(std::span<const unsigned char> bytes, StoredEntity& e);

// Whether a record can give decode_stored_entity a member of its own: a
// line type, an extrusion or xdata in its property block, or a kind whose
// payload has members (texts, polylines, inserts, chains). Most records
// hold none and need neither decoding nor keeping.
bool stored_may_hold_members(std::span<const unsigned char> bytes);

// How many attribute records and xdata items decode_stored_entity would
// give, without making them.
struct StoredCounts {
  long attributes = 0;
  long xdata_items = 0;
};
StoredCounts count_stored_items(std::span<const unsigned char> bytes);

// The lower-case hexadecimal text of bytes, two digits each.
std::string hex_text(std::span<const unsigned char> bytes);

}  // namespace kttrv::view
