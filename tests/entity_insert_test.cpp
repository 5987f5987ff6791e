#include <gtest/gtest.h>

#include <numbers>

#include "host/zirida_host.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/entity_stream_run.h"

namespace {

using nlohmann::json;

// An attribute record: property block, 102 bytes with presence fields at 32,
// 36 and 68, then a counted string for each non-zero field.
Bytes attribute(std::array<int32_t, 3> present, const std::vector<std::string>& strings = {},
                const PropsBlock& props = {}) {
  Bytes b = props.bytes();
  b.pt2(1, 2).zeros(16).i32(present[0]).i32(present[1]).zeros(4).f64(45).f64(2).zeros(8);
  b.i32(present[2]).zeros(6).pt2(3, 4).zeros(8);
  for (const auto& s : strings) b.str(s);
  return b;
}

// An insert payload with every field its mask announces, filled from the
// named values; attributes go behind a count of attributes.size() unless
// a count is given.
struct Insert {
  int32_t mask = 0;
  double x = 5, y = 6, z = 7;
  std::string name = "DOOR";
  double x_scale = 2, y_scale = 3, z_scale = 4, rotation = 30;
  std::vector<Bytes> attributes;
  std::optional<uint32_t> attribute_count;

  Bytes payload() const {
    Bytes b;
    b.i32(mask).pt3(x, y, z);
    if (mask & 0x1) b.i16(11);
    if (mask & 0x2) b.str(name);
    if (mask & 0x4) b.f64(x_scale);
    if (mask & 0x8) b.f64(y_scale);
    if (mask & 0x10) b.f64(z_scale).f64(99);
    if (mask & 0x20) b.f64(rotation);
    if (mask & 0x40) b.i16(12);
    if (mask & 0x80) b.i16(13);
    if (mask & 0x100) b.f64(14);
    if (mask & 0x200) b.f64(15);
    if (mask & 0x400) {
      b.u32(attribute_count.value_or(static_cast<uint32_t>(attributes.size())));
      for (const Bytes& a : attributes) b.append(a);
    }
    return b;
  }
  Bytes record(const PropsBlock& props = {}) const { return entity(23, props, payload()); }
};

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

class InsertRecord : public DrawingTest {
 protected:
  json created() const {
    const auto made = ops("api_kt_create_insert");
    return made.size() == 1 ? made[0] : json();
  }
};

TEST_F(InsertRecord, EachMaskBitAddsItsField) {
  const struct {
    int32_t mask;
    std::size_t payload;
  } cases[] = {
      {0x0, 28},           {0x1, 30},      {0x2, 28 + 2 + 4}, {0x4, 36},         {0x8, 36},
      {0x10, 44},          {0x20, 36},     {0x40, 30},        {0x80, 30},        {0x100, 36},
      {0x200, 36},         {0x400, 32},    {0x7FFFF800, 28},  {0x3FF, 28 + 2 + 6 + 8 + 8 + 16 + 8 + 2 + 2 + 8 + 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mask " << std::hex << c.mask);
    Insert insert;
    insert.mask = c.mask;
    Bytes stream = insert.record();
    ASSERT_EQ(stream.size(), 12 + c.payload);
    stream.append(unknown_record());
    const StreamRun one = run_stream(stream, 1);
    EXPECT_TRUE(one.complete);
    EXPECT_EQ(one.position, static_cast<int32_t>(12 + c.payload));
    EXPECT_TRUE(run_stream(stream, 2).complete);
  }
}

TEST_F(InsertRecord, PassesPointScalesRotationAndNameThenProperties) {
  const struct {
    int32_t mask;
    const char* args;
    double rotation;
  } cases[] = {
      {0x0, R"([[5,6,0],1,1,1,0,""])", 0},
      {0x24, R"([[5,6,0],2,1,1,0,""])", 30},
      {0x10, R"([[5,6,0],1,1,1,0,""])", 0},  // the stored z scale is not passed
      {0x3FF, R"([[5,6,0],2,3,1,0,"DOOR"])", 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mask " << std::hex << c.mask);
    trace.clear();
    Insert insert;
    insert.mask = c.mask;
    run_stream(insert.record(PropsBlock().layer(1).color(4)), 1);
    const auto all = ops();
    ASSERT_EQ(all.size(), 3u);
    json args = all[0]["args"];
    EXPECT_DOUBLE_EQ(args[4].get<double>(), radians(c.rotation));
    args[4] = 0;
    EXPECT_EQ(args, json::parse(c.args));
    EXPECT_EQ(all[1]["op"], "api_kt_get_color_byindex");
    EXPECT_EQ(all[1]["args"], json::parse("[4,1]"));
    EXPECT_EQ(all[2]["op"], "api_set_drawable_prop");
    EXPECT_EQ(all[2]["args"], json::array({all[0]["id"], all[1]["ret"], 0, 1}));
  }
}

TEST_F(InsertRecord, RotationOfNinetyDegreesIsAQuarterTurn) {
  Insert insert;
  insert.mask = 0x24;
  insert.rotation = 90;
  run_stream(insert.record(), 1);
  EXPECT_DOUBLE_EQ(created()["args"][4].get<double>(), std::numbers::pi / 2);
}

TEST_F(InsertRecord, MirrorsOnlyOnAnExtrusionOfExactlyZeroZeroMinusOne) {
  const struct {
    const char* what;
    PropsBlock props;
    bool mirrored;
  } cases[] = {
      {"(0, 0, -1)", PropsBlock().mirrored(), true},
      {"(0, 0, -1), x and y absent", PropsBlock().extrusion(std::nullopt, std::nullopt, -1.0), true},
      {"(0.5, 0, -1)", PropsBlock().extrusion(0.5, 0.0, -1.0), false},
      {"(0, 0.5, -1)", PropsBlock().extrusion(0.0, 0.5, -1.0), false},
      {"(0, 0, -0.5)", PropsBlock().extrusion(0.0, 0.0, -0.5), false},
      {"none", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    trace.clear();
    Insert insert;
    insert.mask = 0x2C;  // name, x scale, y scale, rotation
    run_stream(insert.record(c.props), 1);
    const json args = created()["args"];
    ASSERT_EQ(args.size(), 6u);
    EXPECT_EQ(args[0], c.mirrored ? json::parse("[-5,6,0]") : json::parse("[5,6,0]"));
    EXPECT_EQ(args[1], c.mirrored ? -2.0 : 2.0);
    EXPECT_EQ(args[2], 3.0);
    EXPECT_DOUBLE_EQ(args[4].get<double>(), radians(c.mirrored ? 330 : 30));
  }
}

TEST_F(InsertRecord, AttributeRunIsPassedOverWholly) {
  const struct {
    const char* what;
    std::vector<Bytes> attributes;
    std::size_t run;
  } cases[] = {
      {"two bare attributes", {attribute({0, 0, 0}), attribute({0, 0, 0})}, 4 + 2 * 112},
      {"strings for the first and third fields", {attribute({1, 0, -1}, {"TAG", "VALUE"})}, 4 + 112 + 5 + 7},
      {"all three strings, one empty and one negative length",
       {attribute({1, 1, 1}, {"A", "", ""}), [] { return attribute({0, 1, 0}).i16(-4); }()},
       4 + 112 + 3 + 2 + 2 + 112 + 2},
      {"attribute with its own property fields",
       {attribute({0, 0, 0}, {}, PropsBlock().layer(1).color(2).bits8to10())},
       4 + 112 + 2 + 2 + 18},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    trace.clear();
    Insert insert;
    insert.mask = 0x402;
    insert.attributes = c.attributes;
    Bytes stream = insert.record();
    ASSERT_EQ(stream.size(), 12 + 28 + 6 + c.run);
    stream.append(insert.record());
    const StreamRun run = run_stream(stream, 2);
    EXPECT_TRUE(run.complete);
    EXPECT_EQ(run.position, static_cast<int32_t>(stream.size()));
    EXPECT_EQ(ops("api_kt_create_insert").size(), 2u);
  }
}

TEST_F(InsertRecord, RefusedInsertStillConsumesItsAttributes) {
  zirida_refuse(KT_Op::create_insert, true);
  Insert insert;
  insert.mask = 0x402;
  insert.attributes = {attribute({1, 1, 1}, {"A", "B", "C"})};
  Bytes stream = insert.record(PropsBlock().color(3));
  stream.append(unknown_record());
  const StreamRun run = run_stream(stream, 2);
  EXPECT_TRUE(run.complete);
  EXPECT_EQ(run.position, static_cast<int32_t>(stream.size()));
  ASSERT_EQ(trace.size(), 1u);  // no properties for what was not made
  EXPECT_TRUE(created()["id"].is_null());
}

// The attribute run goes to no one: an insert is created once its own fields
// are read, and a run the data cannot hold (a hostile count or a cut) then
// ends the stream. A cut before the run creates nothing.
TEST_F(InsertRecord, CutAttributeRunsKeepTheInsertCutFieldsCreateNothing) {
  Insert hostile;
  hostile.mask = 0x400;
  hostile.attribute_count = 0xFFFFFFFF;
  hostile.attributes = {attribute({0, 0, 0})};

  Insert with_attributes;
  with_attributes.mask = 0x402;
  with_attributes.attributes = {attribute({0, 0, 0}), attribute({0, 0, 1}, {"LAST"})};
  const Bytes whole = with_attributes.record();

  const auto cut = [&](std::size_t size) {
    Bytes b = whole;
    b.data().resize(size);
    return b;
  };
  const struct {
    const char* what;
    Bytes record;
    bool created;
  } cases[] = {
      {"attribute count 0xFFFFFFFF", hostile.record(), true},
      {"inside the point", cut(12 + 10), false},
      {"inside the block name", cut(12 + 28 + 4), false},
      {"inside the attribute count", cut(12 + 28 + 6 + 2), true},
      {"inside the first attribute", cut(12 + 28 + 6 + 4 + 50), true},
      {"inside the last attribute string", cut(whole.size() - 1), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    trace.clear();
    EXPECT_FALSE(run_stream(c.record, 2).complete);
    EXPECT_EQ(ops("api_kt_create_insert").size(), c.created ? 1u : 0u);
  }
}

}  // namespace
