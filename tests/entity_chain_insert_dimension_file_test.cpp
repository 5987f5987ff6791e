// A whole file whose model space holds polylines, vertex chains, an insert
// with attributes, dimensions and every passed-over kind: the kernel trace
// is compared line by line with the calls that file must make.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "format/torv_header.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/torv_builder.h"

namespace {

using nlohmann::json;

Bytes dimension_payload(std::array<int32_t, 3> present, const std::vector<std::string>& strings) {
  Bytes b;
  for (int32_t p : present) b.i32(p);
  for (int offset = 12; offset <= 156; offset += 24) b.pt3(offset, offset + 1, offset + 2);
  for (int i = 1; i <= 6; ++i) b.f64(i);
  b.i16(-1);
  for (const auto& s : strings) b.str(s);
  return b;
}

class ChainInsertDimensionFile : public DrawingTest {};

TEST_F(ChainInsertDimensionFile, TraceShowsEveryCallInOrder) {
  Bytes records;
  uint32_t count = 0;
  const auto add = [&](const Bytes& record) {
    records.append(record);
    ++count;
  };

  // Kind 13, mirrored by its own extrusion; the middle vertex is passed over.
  {
    Bytes p = Bytes().zeros(26).i32(0x2).zeros(24).i32(1).u32(3);
    for (const auto& [x, y, flags] : {std::tuple{3.0, 4.0, 0}, {5.0, 6.0, 1}, {7.0, 8.0, 0}})
      p.append(PropsBlock().bytes()).i32(0x8).pt3(x, y, 9.0).i16(flags);
    add(entity(13, PropsBlock().layer(1).color(3).mirrored(), p));
  }
  // Kind 28 as a closed point set, mirrored by z < 0.
  add(entity(28, PropsBlock().color(3).extrusion(0.0, 0.0, -0.5),
             Bytes().i32(2).u16(0x200).f64(0).i32(0).i32(0).pt2(1, 2).pt2(3, 4)));
  // Kind 28 as an open polyline with extras.
  add(entity(28, PropsBlock().layer(2).color(3),
             Bytes().i32(2).u16(0).f64(0).i32(0).i32(1).pt2(1, 2).pt2(3, 4).zeros(48)));
  // Kind 23, mirrored, with one attribute carrying a string.
  {
    Bytes p = Bytes().i32(0x42E).pt3(5, 6, 7).str("DOOR").f64(2).f64(3).f64(0).u32(1);
    p.append(PropsBlock().bytes()).zeros(32).i32(1).zeros(42).pt2(0, 0).zeros(8).str("TAG");
    add(entity(23, PropsBlock().layer(1).color(3).mirrored(), p));
  }
  // Every passed-over kind and an unknown one.
  add(entity(17, {}, Bytes().zeros(98)));
  add(entity(26, {}, Bytes().zeros(240).u32(1).str("s")));
  add(entity(29, {}, Bytes().zeros(92).i32(1).i32(0).str("a")));
  add(entity(43, {}, Bytes().zeros(40).i32(0).zeros(2).i32(4).zeros(4).i32(1).zeros(4).str("b")));
  add(entity(45, {}, Bytes().zeros(104).i32(1).zeros(4).i32(2).zeros(20).zeros(18)));
  add(entity(100, {}, Bytes().u32(0).u32(1).u32(2).u32(1).u32(1).u32(0).zeros(3)));
  add(entity(57, PropsBlock().layer(4)));
  // Kind 18, not mirrored whatever its extrusion, strings 2, 3, 1 in the file.
  add(entity(18, PropsBlock().color(3).mirrored(), dimension_payload({0, 1, 1}, {"two", "three"})));

  TorvFile file;
  file.section(kSlotEntities, entity_section(count, records));
  ASSERT_TRUE(load(file.build()));

  const double turn = 360.0 * 3.141592653589793 * 0.005555555555555556;
  const std::vector<json> expected = {
      json::parse(R"({"op":"api_kt_create_polyline","args":[3,false],"id":1})"),
      json::parse(R"({"op":"api_kt_set_pline_pos","args":[1,0,-3,4,0]})"),
      json::parse(R"({"op":"api_kt_set_pline_pos","args":[1,2,-7,8,0]})"),
      json::parse(R"({"op":"api_kt_create_lines","args":[3],"id":2})"),
      json::parse(R"({"op":"api_kt_set_ptset_pos","args":[2,0,-1,2,0]})"),
      json::parse(R"({"op":"api_kt_set_ptset_pos","args":[2,1,-3,4,0]})"),
      json::parse(R"({"op":"api_kt_set_ptset_pos","args":[2,2,-1,2,0]})"),
      json::parse(R"({"op":"api_kt_create_polyline","args":[2,false],"id":3})"),
      json::parse(R"({"op":"api_kt_set_pline_pos","args":[3,0,1,2,0]})"),
      json::parse(R"({"op":"api_kt_set_pline_pos","args":[3,1,3,4,0]})"),
      json::parse(R"({"op":"api_kt_get_color_byindex","args":[3,2],"ret":65280})"),
      json::parse(R"({"op":"api_set_drawable_prop","args":[3,65280,0,2]})"),
      {{"op", "api_kt_create_insert"}, {"args", {{-5, 6, 0}, -2, 3, 1, turn, "DOOR"}}, {"id", 4}},
      json::parse(R"({"op":"api_kt_get_color_byindex","args":[3,1],"ret":65280})"),
      json::parse(R"({"op":"api_set_drawable_prop","args":[4,65280,0,1]})"),
      json::parse(R"({"op":"api_kt_create_dimension","args":["","two","three",
          [84,85,86],[36,37,38],[60,61,62],[84,85,86],[108,109,110],[132,133,134],[156,157,158],
          1,2,3,4,5,6,-1],"id":5})"),
      json::parse(R"({"op":"api_kt_get_color_byindex","args":[3,0],"ret":65280})"),
      json::parse(R"({"op":"api_set_drawable_prop","args":[5,65280,0,0]})"),
  };
  const auto actual = ops();
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << "line " << i;
}

}  // namespace
