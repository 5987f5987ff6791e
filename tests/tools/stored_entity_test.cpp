// Stored entity records read back by the view: the property block's stored
// numbers, extrusion and xdata, an insert's z scale and attribute records;
// every cut of a record and arbitrary bytes decode safely.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/entity_builder.h"
#include "tests/support/sample_drawing.h"
#include "view/stored_entity.h"

namespace {

using kttrv::view::decode_stored_entity;
using kttrv::view::StoredEntity;
using kttrv::view::XdataItem;

std::span<const unsigned char> span_of(const Bytes& b) { return {b.data().data(), b.size()}; }

// An attribute record: a bare property block, then 102 bytes with the first
// point at 0, the presence fields at 32, 36 and 68, the angle at 44, the
// height at 52 and the second point at 78; then a string per non-zero field.
Bytes attribute(double x, double y, double angle, double height, double x2, double y2,
                std::array<int32_t, 3> present, const std::vector<std::string>& strings) {
  Bytes b = PropsBlock().bytes();
  b.pt2(x, y).zeros(16).i32(present[0]).i32(present[1]).zeros(4).f64(angle).f64(height).zeros(8);
  b.i32(present[2]).zeros(6).pt2(x2, y2).zeros(8);
  for (const auto& s : strings) b.str(s);
  return b;
}

// Xdata of every value type: string, point, real, 16-bit, 32-bit, and a code
// that carries nothing.
Bytes every_xdata_item() {
  Bytes x;
  x.i16(1001).str("APP").i16(1010).pt3(1, 2, 3).i16(1040).f64(2.5).i16(1070).i16(-7).i16(1071).i32(70000);
  x.i16(1006).i16(1000).str(std::string("a\0b", 3));
  return x;
}

// An insert with a z scale (mask bit 4) and a run of two attributes.
Bytes insert_with_attributes(const PropsBlock& props) {
  Bytes p = Bytes().i32(0x2 | 0x10 | 0x20 | 0x400).pt3(5, 6, 7).str("DOOR").f64(4).f64(99).f64(30);
  p.u32(2);
  p.append(attribute(1, 2, 45, 2.5, 3, 4, {1, 0, 1}, {"TAG", "VALUE"}));
  p.append(attribute(-1, -2, 90, 0.5, -3, -4, {0, 1, 0}, {"ONLY"}));
  return entity(23, props, p);
}

struct PropsCase {
  const char* what;
  Bytes record;
  std::optional<int16_t> color, line_type, layer;
  bool has_extrusion;
  std::array<double, 3> extrusion;
};

TEST(StoredEntity, PropertyBlockFieldsAsStored) {
  const std::vector<PropsCase> cases = {
      {"nothing stored", entity(1, PropsBlock(), Bytes().pt3(0, 0, 0).pt3(1, 1, 0)), {}, {}, {}, false, {}},
      {"layer and colour", entity(1, PropsBlock().layer(2).color(3)), 3, {}, 2, false, {}},
      {"colour by layer", entity(1, PropsBlock().color(256)), 256, {}, {}, false, {}},
      {"colour by block", entity(1, PropsBlock().color(0)), 0, {}, {}, false, {}},
      {"line type and the reals before the colour", entity(1, PropsBlock().linetype(-2).reals(1, 2).color(7)), 7,
       -2, {}, false, {}},
      {"extrusion with an absent component", entity(1, PropsBlock().extrusion({}, 0.5, -1.0)), {}, {}, {}, true,
       {0.0, 0.5, -1.0}},
      {"every other field before the colour", entity(1, PropsBlock().layer(1).linetype(4).value16(9).color(5)), 5,
       4, 1, false, {}},
  };
  for (const PropsCase& c : cases) {
    SCOPED_TRACE(c.what);
    const StoredEntity e = decode_stored_entity(span_of(c.record));
    EXPECT_TRUE(e.has_kind);
    EXPECT_EQ(e.kind, 1);
    EXPECT_TRUE(e.whole);
    EXPECT_EQ(e.color_number, c.color);
    EXPECT_EQ(e.line_type, c.line_type);
    EXPECT_EQ(e.layer, c.layer);
    EXPECT_EQ(e.has_extrusion, c.has_extrusion);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(e.extrusion[k], c.extrusion[k]);
    EXPECT_TRUE(e.xdata.empty());
    EXPECT_TRUE(e.attributes.empty());
  }
}

TEST(StoredEntity, XdataItemsByGroupCode) {
  // Blobs and the tail values behind the xdata are passed over.
  const Bytes blob = Bytes().zeros(12).u32(0).u32(3).u32(0).u32(1).u32(0).u32(0).raw("xyz");
  const Bytes record =
      entity(2, PropsBlock().color(1).xdata(7, every_xdata_item()).bits8to10().blobs(1, blob), Bytes().pt3(0, 0, 0));
  const StoredEntity e = decode_stored_entity(span_of(record));
  EXPECT_TRUE(e.whole);
  EXPECT_EQ(e.color_number, 1);
  struct Expected {
    int16_t code;
    XdataItem::Type type;
    std::string text;
    double real;
    long integer;
  };
  const std::vector<Expected> expected = {
      {1001, XdataItem::Type::text, "APP", 0, 0},     {1010, XdataItem::Type::point, "", 0, 0},
      {1040, XdataItem::Type::real, "", 2.5, 0},      {1070, XdataItem::Type::integer, "", 0, -7},
      {1071, XdataItem::Type::integer, "", 0, 70000}, {1006, XdataItem::Type::none, "", 0, 0},
      {1000, XdataItem::Type::text, std::string("a\0b", 3), 0, 0},
  };
  ASSERT_EQ(e.xdata.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(e.xdata[i].code, expected[i].code);
    EXPECT_EQ(e.xdata[i].type, expected[i].type);
    EXPECT_EQ(e.xdata[i].text, expected[i].text);
    EXPECT_EQ(e.xdata[i].real, expected[i].real);
    EXPECT_EQ(e.xdata[i].integer, expected[i].integer);
  }
  EXPECT_EQ(e.xdata[1].point[0], 1.0);
  EXPECT_EQ(e.xdata[1].point[2], 3.0);
}

// A count no bytes could hold fails at once, holding nothing; one item more
// than the bytes hold gives those there.
TEST(StoredEntity, XdataCountsBeyondTheBytes) {
  const Bytes huge = entity(2, PropsBlock().xdata(0xFFFFFFFF, Bytes().i16(1070).i16(1)));
  const StoredEntity h = decode_stored_entity(span_of(huge));
  EXPECT_FALSE(h.whole);
  EXPECT_TRUE(h.xdata.empty());
  const Bytes one_short = entity(2, PropsBlock().xdata(3, Bytes().i16(1070).i16(1).i16(1071).i32(2)));
  const StoredEntity s = decode_stored_entity(span_of(one_short));
  EXPECT_FALSE(s.whole);
  ASSERT_EQ(s.xdata.size(), 2u);
  EXPECT_EQ(s.xdata[1].integer, 2);
}

// Texts give their insertion z and second point; a kind 13 polyline its
// header flags and each vertex's z and the fields its mask announces.
TEST(StoredEntity, TextSecondPointsAndPolylineVertices) {
  struct Case {
    int kind;
    std::size_t size, second;
  } texts[] = {{7, 94, 70}, {11, 106, 82}};
  for (const Case& c : texts) {
    sample::Record rec(c.size);
    rec.at(16, 4.5).at(c.second, 1.0).at(c.second + 8, 2.0).at(c.second + 16, 3.0);
    const StoredEntity e = decode_stored_entity(span_of(entity(c.kind, PropsBlock(), Bytes(rec.bytes()))));
    ASSERT_TRUE(e.second_point.has_value()) << c.kind;
    EXPECT_EQ(*e.insertion_z, 4.5);
    EXPECT_EQ(*e.second_point, (std::array<double, 3>{1.0, 2.0, 3.0}));
  }
  sample::Record header(58);
  header.at<int32_t>(26, 0x6).at<int32_t>(54, 1);
  Bytes vertices;
  vertices.append(PropsBlock().bytes()).i32(0x8).pt3(1, 2, 7).i16(0x10);
  vertices.append(PropsBlock().color(3).bytes()).i32(0x1F7).pt3(3, 4, 8).f64(0.5).f64(0.25).f64(0.125).f64(2).i16(1).i16(2).i16(3).i16(4);
  const StoredEntity p = decode_stored_entity(span_of(entity(13, PropsBlock(), Bytes(header.bytes()).u32(2).append(vertices))));
  EXPECT_TRUE(p.whole);
  EXPECT_EQ(p.polyline_flags, 0x6);
  ASSERT_EQ(p.vertices.size(), 2u);
  EXPECT_EQ(p.vertices[0].z, 7.0);
  EXPECT_EQ(p.vertices[0].flags, int16_t{0x10});
  EXPECT_EQ(p.vertices[0].real_count, 0);
  EXPECT_EQ(p.vertices[1].z, 8.0);
  const auto& v = p.vertices[1];
  EXPECT_EQ(std::vector<double>(v.reals, v.reals + v.real_count), (std::vector<double>{0.5, 0.25, 0.125, 2.0}));
  EXPECT_FALSE(v.flags.has_value());
  EXPECT_EQ(std::vector<int16_t>(v.values, v.values + v.value_count), (std::vector<int16_t>{1, 2, 3, 4}));
  // A count beyond the bytes reads no vertex.
  const StoredEntity huge = decode_stored_entity(span_of(entity(13, PropsBlock(), Bytes(header.bytes()).u32(0xFFFFFFFF))));
  EXPECT_TRUE(huge.vertices.empty());
  EXPECT_FALSE(huge.whole);
}

TEST(StoredEntity, ChainFieldsAndExtras) {
  // count, flags, real, value, extras field; then the points and the extras.
  const auto chain = [](int32_t n, int32_t extras_field, int points, int extras) {
    Bytes b;
    b.i32(n).u16(0x200).f64(1.5).i32(-9).i32(extras_field);
    for (int i = 0; i < points; ++i) b.pt2(i, -i);
    for (int i = 0; i < extras; ++i) b.f64(i).f64(i + 0.5).f64(-i);
    return entity(28, PropsBlock(), b);
  };
  const struct {
    const char* what;
    Bytes record;
    bool whole;
    std::size_t extras;
  } cases[] = {
      {"a point set", chain(3, 0, 3, 0), true, 0},
      {"a polyline without extras", chain(2, -1, 2, 0), true, 0},
      {"a polyline with extras", chain(3, 5, 3, 3), true, 3},
      {"no points", chain(-3, 7, 0, 0), true, 0},
      {"extras cut short", chain(3, 5, 3, 2), false, 0},
      {"a count beyond the bytes", chain(0x7FFFFFFF, 5, 1, 0), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const StoredEntity e = decode_stored_entity(span_of(c.record));
    EXPECT_EQ(e.whole, c.whole);
    ASSERT_TRUE(e.chain.has_value());
    EXPECT_EQ(e.chain->flags, 0x200);
    EXPECT_EQ(e.chain->real, 1.5);
    EXPECT_EQ(e.chain->value, -9);
    ASSERT_EQ(e.chain->extras.size(), c.extras);
    for (std::size_t i = 0; i < c.extras; ++i) {
      const double d = static_cast<double>(i);
      EXPECT_EQ(e.chain->extras[i], (std::array<double, 3>{d, d + 0.5, -d}));
    }
  }
}

TEST(StoredEntity, InsertAttributesAndZScale) {
  const Bytes record = insert_with_attributes(PropsBlock().layer(1).color(256));
  const StoredEntity e = decode_stored_entity(span_of(record));
  EXPECT_TRUE(e.whole);
  EXPECT_EQ(e.kind, 23);
  EXPECT_EQ(e.color_number, 256);
  EXPECT_EQ(e.z_scale, 4.0);
  struct Expected {
    double point[2], second[2], angle, height;
    std::optional<std::string> strings[3];
  };
  const Expected expected[] = {
      {{1, 2}, {3, 4}, 45, 2.5, {"TAG", std::nullopt, "VALUE"}},
      {{-1, -2}, {-3, -4}, 90, 0.5, {std::nullopt, "ONLY", std::nullopt}},
  };
  ASSERT_EQ(e.attributes.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const auto& a = e.attributes[i];
    const auto& x = expected[i];
    EXPECT_EQ(a.point[0], x.point[0]);
    EXPECT_EQ(a.point[1], x.point[1]);
    EXPECT_EQ(a.second_point[0], x.second[0]);
    EXPECT_EQ(a.second_point[1], x.second[1]);
    EXPECT_EQ(a.angle, x.angle);
    EXPECT_EQ(a.height, x.height);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(a.strings[k], x.strings[k]) << k;
  }
  // Without bit 4 there is no z scale; another kind's payload is no insert's.
  const Bytes plain = entity(23, PropsBlock(), Bytes().i32(0).pt3(0, 0, 0));
  EXPECT_FALSE(decode_stored_entity(span_of(plain)).z_scale);
  Bytes other = record;
  other.patch<int16_t>(0, 1);
  const StoredEntity line = decode_stored_entity(span_of(other));
  EXPECT_FALSE(line.z_scale);
  EXPECT_TRUE(line.attributes.empty());
}

// Every cut of a record decodes what lies before the cut: never more
// attributes or items than the whole record, each one the same, and never
// whole.
TEST(StoredEntity, EveryCutDecodesWhatPrecedesIt) {
  const Bytes record = insert_with_attributes(PropsBlock().layer(1).color(2).extrusion(0.0, 0.0, -1.0).xdata(7, every_xdata_item()));
  const StoredEntity full = decode_stored_entity(span_of(record));
  ASSERT_TRUE(full.whole);
  ASSERT_EQ(full.attributes.size(), 2u);
  ASSERT_EQ(full.xdata.size(), 7u);
  for (std::size_t n = 0; n < record.size(); ++n) {
    SCOPED_TRACE(n);
    const StoredEntity cut = decode_stored_entity({record.data().data(), n});
    EXPECT_FALSE(cut.whole);
    const kttrv::view::StoredCounts counted = kttrv::view::count_stored_items({record.data().data(), n});
    EXPECT_EQ(counted.attributes, static_cast<long>(cut.attributes.size()));
    EXPECT_EQ(counted.xdata_items, static_cast<long>(cut.xdata.size()));
    EXPECT_EQ(cut.has_kind, n >= 2);
    if (cut.color_number) {
      EXPECT_EQ(*cut.color_number, 2);
    }
    if (cut.layer) {
      EXPECT_EQ(*cut.layer, 1);
    }
    if (cut.has_extrusion) {
      EXPECT_EQ(cut.extrusion[2], -1.0);
    }
    ASSERT_LE(cut.xdata.size(), full.xdata.size());
    for (std::size_t i = 0; i < cut.xdata.size(); ++i) {
      EXPECT_EQ(cut.xdata[i].code, full.xdata[i].code);
      EXPECT_EQ(cut.xdata[i].text, full.xdata[i].text);
    }
    ASSERT_LE(cut.attributes.size(), full.attributes.size());
    for (std::size_t i = 0; i < cut.attributes.size(); ++i)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(cut.attributes[i].strings[k], full.attributes[i].strings[k]);
    if (cut.z_scale) {
      EXPECT_EQ(*cut.z_scale, 4.0);
    }
  }
}

// Arbitrary bytes: no read past them and no count that sizes anything
// beyond what they could hold; counting gives what decoding makes.
TEST(StoredEntity, ArbitraryBytesDecodeSafely) {
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::vector<unsigned char> bytes(random() % 300);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    if (bytes.size() >= 2 && round % 2 == 0) bytes[0] = 23, bytes[1] = 0;  // half of them inserts
    const StoredEntity e = decode_stored_entity(bytes);
    const kttrv::view::StoredCounts counted = kttrv::view::count_stored_items(bytes);
    EXPECT_EQ(counted.attributes, static_cast<long>(e.attributes.size()));
    EXPECT_EQ(counted.xdata_items, static_cast<long>(e.xdata.size()));
    EXPECT_LE(e.attributes.size() * 112, bytes.size());
    EXPECT_LE(e.xdata.size() * 2, bytes.size());
  }
}

// Every member of a decoding, doubles by their bits (a NaN equals itself).
std::string described(const StoredEntity& e) {
  std::string d;
  const auto add = [&d](auto v) { d += std::to_string(v) + ' '; };
  const auto real = [&add](double v) { add(std::bit_cast<uint64_t>(v)); };
  const auto opt = [&](const auto& o) {
    if (o) add(*o);
    else d += "- ";
  };
  add(e.has_kind), add(e.kind), add(e.whole), add(e.flags);
  opt(e.layer), opt(e.color_number), opt(e.line_type);
  add(e.has_extrusion);
  for (double c : e.extrusion) real(c);
  for (const XdataItem& x : e.xdata) {
    add(x.code), add(static_cast<int>(x.type)), d += x.text + ' ', add(x.integer), real(x.real);
    for (double c : x.point) real(c);
  }
  d += "| ";
  if (e.z_scale) real(*e.z_scale);
  for (const auto& a : e.attributes) {
    for (double c : {a.point[0], a.point[1], a.second_point[0], a.second_point[1], a.angle, a.height}) real(c);
    for (const auto& t : a.strings) d += t ? *t + ' ' : std::string("- ");
  }
  d += "| ";
  if (e.insertion_z) real(*e.insertion_z);
  if (e.second_point)
    for (double c : *e.second_point) real(c);
  opt(e.polyline_flags);
  for (const auto& v : e.vertices) {
    add(v.mask), real(v.z), add(v.real_count), add(v.value_count), opt(v.flags);
    for (double c : v.reals) real(c);
    for (int16_t x : v.values) add(x);
  }
  d += "| ";
  if (e.chain) {
    add(e.chain->flags), real(e.chain->real), add(e.chain->value), add(e.chain->extras_field);
    for (const auto& x : e.chain->extras)
      for (double c : x) real(c);
  }
  return d;
}

// Decoding into the same StoredEntity record after record, as the dump does,
// gives what a fresh decoding gives: nothing of a record before stays. The
// records are of every kind that has members (xdata, attributes, vertices,
// a chain's extras), whole or cut anywhere, in random order.
TEST(StoredEntity, ReusedDecodingEqualsFresh) {
  sample::Record text(94);
  text.at(16, 4.5).at(70, 1.0);
  sample::Record header(58);
  header.at<int32_t>(26, 0x6).at<int32_t>(54, 1);
  Bytes vertices;
  vertices.append(PropsBlock().bytes()).i32(0x8).pt3(1, 2, 7).i16(0x10);
  vertices.append(PropsBlock().color(3).bytes()).i32(0x1F7).pt3(3, 4, 8).f64(0.5).f64(0.25).f64(0.125).f64(2);
  vertices.i16(1).i16(2).i16(3).i16(4);
  Bytes chain;
  chain.i32(3).u16(0x200).f64(1.5).i32(-9).i32(5);
  for (int i = 0; i < 3; ++i) chain.pt2(i, -i);
  for (int i = 0; i < 3; ++i) chain.f64(i).f64(i + 0.5).f64(-i);
  const std::vector<Bytes> records = {
      insert_with_attributes(PropsBlock().layer(1).color(2).extrusion(0.0, 0.0, -1.0).xdata(7, every_xdata_item())),
      insert_with_attributes(PropsBlock()),
      entity(7, PropsBlock().linetype(3).xdata(7, every_xdata_item()), Bytes(text.bytes())),
      entity(13, PropsBlock(), Bytes(header.bytes()).u32(2).append(vertices)),
      entity(28, PropsBlock().extrusion(1.0, {}, 2.0), chain),
      entity(2, PropsBlock().color(1), Bytes().pt3(0, 0, 0)),
  };
  std::mt19937 random(11);
  StoredEntity reused;
  for (int round = 0; round < 20000; ++round) {
    const Bytes& whole = records[random() % records.size()];
    const std::size_t size = round % 2 == 0 ? whole.size() : random() % (whole.size() + 1);
    const std::span<const unsigned char> bytes(whole.data().data(), size);
    decode_stored_entity(bytes, reused);
    ASSERT_EQ(described(reused), described(decode_stored_entity(bytes))) << "round " << round << ", " << size << " bytes";
  }
}

TEST(StoredEntity, HexText) {
  const unsigned char bytes[] = {0x00, 0x0f, 0xa5, 0xff};
  EXPECT_EQ(kttrv::view::hex_text(bytes), "000fa5ff");
  EXPECT_EQ(kttrv::view::hex_text({}), "");
}

}  // namespace
