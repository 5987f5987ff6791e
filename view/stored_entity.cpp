#include "view/stored_entity.h"

#include <climits>
#include <cstring>
#include <string_view>
#include <utility>

#include "format/blob_body.h"
#include "format/record_reader.h"
#include "format/tag_file.h"

namespace kttrv::view {

namespace {

// The property block's fields this view shows; `xdata` null passes the items over.
struct Props {
  std::optional<int16_t> layer, color_number, line_type;
  bool has_extrusion = false;
  double extrusion[3] = {};
};

// The items go into `into`, or are only counted into `counted` (either may
// be null).
bool read_xdata(RecordReader& r, std::vector<XdataItem>* into, long* counted = nullptr) {
  const uint32_t count = r.u32();
  if (!r.expect_items(count, 2)) return false;  // every item holds at least its code
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    XdataItem item;
    item.code = r.i16();
    const int16_t code = item.code;
    if (code >= 1000 && code <= 1005) {
      item.type = XdataItem::Type::text;
      const std::string_view text = r.counted_view();
      if (into != nullptr) item.text = std::string(text);
    } else if (code >= 1010 && code <= 1013) {
      item.type = XdataItem::Type::point;
      for (double& c : item.point) c = r.f64();
    } else if (code >= 1040 && code <= 1042) {
      item.type = XdataItem::Type::real;
      item.real = r.f64();
    } else if (code == 1070) {
      item.type = XdataItem::Type::integer;
      item.integer = r.i16();
    } else if (code == 1071) {
      item.type = XdataItem::Type::integer;
      item.integer = r.i32();
    }
    if (!r.ok()) break;
    if (into != nullptr) into->push_back(std::move(item));
    if (counted != nullptr) ++*counted;
  }
  return r.ok();
}

// A blob list: a count, then per blob 12 bytes and a 24-byte header (a
// value, two sizes, three presence fields) with the bytes it announces.
bool skip_blobs(RecordReader& r) {
  const uint32_t count = r.u32();
  if (!r.expect_items(count, 36)) return false;
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    r.skip(12);
    skip_blob_body(r);
  }
  return r.ok();
}

// The common property block: flags, then each field its bit announces; the
// two 32-bit values are always there.
bool read_props(RecordReader& r, uint16_t& flags, Props& p, std::vector<XdataItem>* xdata,
                long* xdata_counted = nullptr) {
  flags = r.u16();
  // A field is the record's only when it was read before any cut.
  const auto field = [&r](std::optional<int16_t>& into) {
    const int16_t v = r.i16();
    if (r.ok()) into = v;
  };
  if (flags & 0x0001) field(p.layer);
  if (flags & 0x0002) field(p.line_type);
  r.skip(8);
  if (flags & 0x0004) r.skip(8);
  if (flags & 0x0008) r.skip(8);
  if (flags & 0x0010) field(p.color_number);
  if (flags & 0x0020) r.skip(2);
  if (!r.ok()) return false;
  if (flags & 0x0040) {
    for (double& c : p.extrusion)
      if (r.u8() != 0) c = r.f64();
    p.has_extrusion = r.ok();
    if (!r.ok()) for (double& c : p.extrusion) c = 0.0;
  }
  if ((flags & 0x0080) && !read_xdata(r, xdata, xdata_counted)) return false;
  if (flags & 0x0100) r.skip(8);
  if (flags & 0x0200) r.skip(8);
  if (flags & 0x0400) r.skip(2);
  if (flags & 0x0800) skip_blobs(r);
  return r.ok();
}

// An attribute record is at least a bare property block and its 102 bytes.
constexpr uint64_t kSmallestAttribute = 10 + 102;

// The records go into `into`, or are only counted into `counted`.
void read_attributes(RecordReader& r, std::vector<StoredAttribute>* into, long* counted = nullptr) {
  const uint32_t count = r.u32();
  if (!r.expect_items(count, kSmallestAttribute)) return;
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    uint16_t flags = 0;
    Props unused;
    if (!read_props(r, flags, unused, nullptr)) return;
    const auto rec = r.record<102>();
    if (!r.ok()) return;
    StoredAttribute a;
    a.point[0] = rec.get<double, 0>();
    a.point[1] = rec.get<double, 8>();
    a.angle = rec.get<double, 44>();
    a.height = rec.get<double, 52>();
    a.second_point[0] = rec.get<double, 78>();
    a.second_point[1] = rec.get<double, 86>();
    const int32_t present[3] = {rec.get<int32_t, 32>(), rec.get<int32_t, 36>(), rec.get<int32_t, 68>()};
    for (int k = 0; k < 3 && r.ok(); ++k)
      if (present[k] != 0) {
        const std::string_view s = r.counted_view();
        if (r.ok() && into != nullptr) a.strings[k] = std::string(s);
      }
    if (!r.ok()) return;
    if (into != nullptr) into->push_back(std::move(a));
    if (counted != nullptr) ++*counted;
  }
}

// Kind 23 behind its property block: the mask, the point, then each field
// its bit announces, the attribute run last. e null: the attributes are
// only counted.
void read_insert(RecordReader& r, StoredEntity* e, long* attributes_counted = nullptr) {
  const auto mask = static_cast<uint32_t>(r.i32());
  r.skip(24);
  if (mask & 0x001) r.skip(2);
  if (mask & 0x002) r.counted_view();
  if (mask & 0x004) r.skip(8);
  if (mask & 0x008) r.skip(8);
  if (mask & 0x010) {
    const double z = r.f64();
    r.skip(8);
    if (r.ok() && e != nullptr) e->z_scale = z;
  }
  if (mask & 0x020) r.skip(8);
  if (mask & 0x040) r.skip(2);
  if (mask & 0x080) r.skip(2);
  if (mask & 0x100) r.skip(8);
  if (mask & 0x200) r.skip(8);
  if (!r.ok()) {
    if (e != nullptr) e->z_scale.reset();
    return;
  }
  if (mask & 0x400) read_attributes(r, e != nullptr ? &e->attributes : nullptr, attributes_counted);
}

// Kinds 7 and 11: the insertion z at 16 and the second point at 70 (kind 7)
// or 82 (kind 11) of their fixed part; the strings behind are not looked at.
void read_text(RecordReader& r, StoredEntity& e) {
  const std::size_t second = e.kind == 7 ? 70 : 82;
  const RecordView rec = r.record(second + 24);
  if (!r.ok()) return;
  double z;
  std::array<double, 3> p;
  std::memcpy(&z, rec.data() + 16, 8);
  std::memcpy(p.data(), rec.data() + second, 24);
  e.insertion_z = z;
  e.second_point = p;
}

// Kind 13: the 58-byte header (flags at 26, vertex presence at 54), then,
// when vertices are present, their count and each vertex: a property block,
// the mask, x, y, z and the fields the mask announces.
void read_polyline(RecordReader& r, StoredEntity& e) {
  const RecordView header = r.record(58);
  if (!r.ok()) return;
  int32_t flags, present;
  std::memcpy(&flags, header.data() + 26, 4);
  std::memcpy(&present, header.data() + 54, 4);
  e.polyline_flags = flags;
  if (present == 0) return;
  const uint32_t count = r.u32();
  if (!r.expect_items(count, 10 + 28)) return;  // a bare property block, the mask and the point
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    uint16_t vertex_flags = 0;
    Props unused;
    if (!read_props(r, vertex_flags, unused, nullptr)) return;
    StoredVertex v;
    v.mask = r.i32();
    r.skip(16);
    v.z = r.f64();
    for (int32_t bit : {0x1, 0x2, 0x4})
      if (v.mask & bit) v.reals[v.real_count++] = r.f64();
    if (v.mask & 0x8) v.flags = r.i16();
    if (v.mask & 0x10) v.reals[v.real_count++] = r.f64();
    for (int32_t bit : {0x20, 0x40, 0x80, 0x100})
      if (v.mask & bit) v.values[v.value_count++] = r.i16();
    if (!r.ok()) return;
    e.vertices.push_back(std::move(v));
  }
}

// Kind 28: the count, the chain flags, a real, a 32-bit value and the
// extras field, then the points (16 bytes each) and, when the extras field
// is greater than 0, three reals a vertex.
void read_chain(RecordReader& r, StoredEntity& e, std::vector<std::array<double, 3>>&& room) {
  StoredChain c;
  c.extras = std::move(room);  // empty
  const int32_t count = r.i32();
  c.flags = r.u16();
  c.real = r.f64();
  c.value = r.i32();
  c.extras_field = r.i32();
  if (!r.ok()) return;
  e.chain = std::move(c);
  if (count <= 0) return;
  const auto n = static_cast<uint32_t>(count);
  if (!r.expect_items(n, 16)) return;
  r.skip(std::size_t{n} * 16);
  if (c.extras_field <= 0 || !r.expect_items(n, 24)) return;
  e.chain->extras.resize(n);
  for (auto& extra : e.chain->extras)
    for (double& v : extra) v = r.f64();
}

}  // namespace

StoredEntity decode_stored_entity(std::span<const unsigned char> bytes) {
  StoredEntity e;
  decode_stored_entity(bytes, e);
  return e;
}

void decode_stored_entity(std::span<const unsigned char> bytes, StoredEntity& e) {
  // Every member as a fresh one has it, the lists' room kept.
  std::vector<XdataItem> xdata = std::move(e.xdata);
  std::vector<StoredAttribute> attributes = std::move(e.attributes);
  std::vector<StoredVertex> vertices = std::move(e.vertices);
  std::vector<std::array<double, 3>> extras;
  if (e.chain) extras = std::move(e.chain->extras);
  xdata.clear();
  attributes.clear();
  vertices.clear();
  extras.clear();
  e = StoredEntity{};
  e.xdata = std::move(xdata);
  e.attributes = std::move(attributes);
  e.vertices = std::move(vertices);
  if (bytes.size() < 2) return;  // not even a kind
  // A cursor over the record alone; a record past 2 GiB is read to there.
  tagFile f;
  f.buffer = bytes.data();
  f.length = bytes.size() > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes.size());
  RecordReader r(&f);
  e.kind = r.i16();
  e.has_kind = true;
  Props p;
  const bool props_ok = read_props(r, e.flags, p, &e.xdata);
  e.layer = p.layer;
  e.color_number = p.color_number;
  e.line_type = p.line_type;
  e.has_extrusion = p.has_extrusion;
  for (int k = 0; k < 3; ++k) e.extrusion[k] = p.extrusion[k];
  if (props_ok && e.kind == kInsertKind) read_insert(r, &e);
  if (props_ok && (e.kind == 7 || e.kind == 11)) read_text(r, e);
  if (props_ok && e.kind == kPolylineKind) read_polyline(r, e);
  if (props_ok && e.kind == kChainKind) read_chain(r, e, std::move(extras));
  e.whole = r.ok();
}

bool stored_may_hold_members(std::span<const unsigned char> bytes) {
  if (bytes.size() < 4) return false;
  int16_t kind = 0;
  uint16_t flags = 0;
  std::memcpy(&kind, bytes.data(), 2);
  std::memcpy(&flags, bytes.data() + 2, 2);
  switch (kind) {
    case 7: case 11: case kPolylineKind: case kInsertKind: case kChainKind: return true;
    default: return (flags & (0x0002 | 0x0040 | 0x0080)) != 0;
  }
}

StoredCounts count_stored_items(std::span<const unsigned char> bytes) {
  StoredCounts c;
  if (bytes.size() < 2) return c;
  tagFile f;
  f.buffer = bytes.data();
  f.length = bytes.size() > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes.size());
  RecordReader r(&f);
  const int16_t kind = r.i16();
  uint16_t flags = 0;
  Props p;
  if (read_props(r, flags, p, nullptr, &c.xdata_items) && kind == kInsertKind) read_insert(r, nullptr, &c.attributes);
  return c;
}

std::string hex_text(std::span<const unsigned char> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (const unsigned char b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 0xF];
  }
  return s;
}

}  // namespace kttrv::view
