#include <gtest/gtest.h>

#include <array>
#include <string>

#include "host/zirida_host.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/entity_stream_run.h"

namespace {

using nlohmann::json;

// A dimension payload: three presence fields, seven points (the one at
// offset k holds (k, k + 1, k + 2), so each argument shows where it came
// from), six reals 1.5 .. 6.5, the int16 and then the given strings as
// stored (string 2, string 3, string 1 order is the caller's to follow).
Bytes dimension(std::array<int32_t, 3> present, int value = 7, const std::vector<std::string>& strings = {}) {
  Bytes b;
  for (int32_t p : present) b.i32(p);
  for (int offset = 12; offset <= 156; offset += 24) b.pt3(offset, offset + 1, offset + 2);
  for (int i = 1; i <= 6; ++i) b.f64(i + 0.5);
  b.i16(value);
  for (const auto& s : strings) b.str(s);
  return b;
}

// The arguments the kernel should receive for dimension() with the given
// strings and integer: point 84 first and fourth, point 12 never.
json expected_args(const std::string& s1, const std::string& s2, const std::string& s3, int value) {
  json args = {s1, s2, s3};
  for (int offset : {84, 36, 60, 84, 108, 132, 156}) args.push_back({offset, offset + 1, offset + 2});
  for (int i = 1; i <= 6; ++i) args.push_back(i + 0.5);
  args.push_back(value);
  return args;
}

class DimensionRecord : public DrawingTest {};

TEST_F(DimensionRecord, PassesPointsRealsAndIntegerThenProperties) {
  run_stream(entity(18, PropsBlock().layer(2).color(5), dimension({0, 0, 0})), 1);
  const auto all = ops();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0]["op"], "api_kt_create_dimension");
  EXPECT_EQ(all[0]["args"], expected_args("", "", "", 7));
  EXPECT_EQ(all[1]["op"], "api_kt_get_color_byindex");
  EXPECT_EQ(all[1]["args"], json::parse("[5,2]"));
  EXPECT_EQ(all[2]["op"], "api_set_drawable_prop");
  EXPECT_EQ(all[2]["args"], json::array({all[0]["id"], all[1]["ret"], 0, 2}));
}

TEST_F(DimensionRecord, StringsFollowInTheOrderTwoThreeOne) {
  const struct {
    const char* what;
    std::array<int32_t, 3> present;
    std::vector<std::string> stored;  // in file order
    json strings;                     // string 1, 2, 3 as passed
    std::size_t tail;                 // bytes behind the 230
  } cases[] = {
      {"none", {0, 0, 0}, {}, {"", "", ""}, 0},
      {"(1, 0, 1): string 3 then string 1", {1, 0, 1}, {"three", "one"}, {"one", "", "three"}, 7 + 5},
      {"all, any non-zero value announces", {-1, 2, 0x10000}, {"b", "cc", "a"}, {"a", "b", "cc"}, 3 + 4 + 3},
      {"only string 2, empty", {0, 1, 0}, {""}, {"", "", ""}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    trace.clear();
    Bytes stream = entity(18, {}, dimension(c.present, 7, c.stored));
    ASSERT_EQ(stream.size(), 12 + 230 + c.tail);
    stream.append(unknown_record());
    const StreamRun one = run_stream(stream, 1);
    EXPECT_TRUE(one.complete);
    EXPECT_EQ(one.position, static_cast<int32_t>(12 + 230 + c.tail));
    EXPECT_TRUE(run_stream(stream, 2).complete);
    const auto made = ops("api_kt_create_dimension");
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0]["args"],
              expected_args(c.strings[0].get<std::string>(), c.strings[1].get<std::string>(),
                            c.strings[2].get<std::string>(), 7));
  }
}

TEST_F(DimensionRecord, IntegerIsSignExtendedAndNothingIsMirrored) {
  const struct {
    const char* what;
    PropsBlock props;
    int value;
  } cases[] = {
      {"FF FF is -1", {}, -1},
      {"-32768", {}, -32768},
      {"extrusion (0, 0, -1)", PropsBlock().mirrored(), 3},
      {"extrusion z -0.5", PropsBlock().extrusion(0.0, 0.0, -0.5), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    trace.clear();
    run_stream(entity(18, c.props, dimension({0, 0, 0}, c.value)), 1);
    const auto made = ops("api_kt_create_dimension");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]["args"], expected_args("", "", "", c.value));
  }
}

TEST_F(DimensionRecord, RefusedDimensionGetsNoPropertiesAndTheStreamGoesOn) {
  zirida_refuse(KT_Op::create_dimension, true);
  Bytes stream = entity(18, PropsBlock().color(3), dimension({1, 1, 1}, 7, {"b", "c", "a"}));
  stream.append(unknown_record());
  const StreamRun run = run_stream(stream, 2);
  EXPECT_TRUE(run.complete);
  EXPECT_EQ(run.position, static_cast<int32_t>(stream.size()));
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_TRUE(ops()[0]["id"].is_null());
}

TEST_F(DimensionRecord, RecordCutShortCreatesNothing) {
  const Bytes whole = entity(18, {}, dimension({1, 0, 0}, 7, {"TEXT"}));
  for (std::size_t cut : {std::size_t{12 + 100}, std::size_t{12 + 229}, std::size_t{12 + 231}, whole.size() - 1}) {
    SCOPED_TRACE(cut);
    Bytes shortened = whole;
    shortened.data().resize(cut);
    EXPECT_FALSE(run_stream(shortened, 1).complete);
  }
  // A string length past the end of the data.
  Bytes long_string = entity(18, {}, dimension({0, 0, 1}));
  long_string.i16(0x7FFF).raw("abc");
  EXPECT_FALSE(run_stream(long_string, 1).complete);
  EXPECT_TRUE(trace.empty());
}

}  // namespace
