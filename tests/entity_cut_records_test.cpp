// The record frame around the payload readers, and records that the end of
// the data cuts short.
#include <gtest/gtest.h>

#include <limits>

#include "tests/support/entity_fixture.h"

namespace {

class EntityFrame : public EntityTest {};

// One complete record of each kind read here, every optional part present.
std::vector<std::pair<int, Bytes>> full_records() {
  const PropsBlock props = PropsBlock().layer(2).color(5).extrusion(0.0, {}, -1.0).xdata(
      1, Bytes().i16(1000).str("x"));
  const Bytes text7 = Bytes().pt3(1, 2, 3).f64(1).i32(1).f64(0).f64(1).f64(0).i32(1).zeros(30);
  const Bytes text11 = Bytes().pt3(1, 2, 3).f64(1).i32(1).i32(1).i32(1).i32(0).f64(0).f64(1).f64(0)
                           .i32(1).zeros(30);
  return {
      {1, entity(1, props, Bytes().pt2(1, 2).zeros(16))},
      {2, entity(2, props, Bytes().pt3(1, 2, 0).pt3(3, 4, 0))},
      {3, entity(3, props, Bytes().pt3(1, 2, 0).f64(3))},
      {4, entity(4, props, Bytes().pt3(1, 2, 0).f64(3).f64(0).f64(90))},
      {5, entity(5, props, Bytes().zeros(96))},
      {6, entity(6, props, Bytes().zeros(96))},
      {7, entity(7, props, Bytes(text7).str("text").str("STYLE"))},
      {8, entity(8, props, Bytes().zeros(32).i32(1).zeros(24).str("name"))},
      {11, entity(11, props, Bytes(text11).str("a").str("b").str("c").str("d"))},
  };
}

// A record cut anywhere creates nothing, and nothing after it is read: the
// stream ends there and the entry point still returns 1.
TEST_F(EntityFrame, EveryCutThroughARecordCreatesNothing) {
  for (const auto& [kind, record] : full_records()) {
    SCOPED_TRACE(kind);
    trace.clear();
    run_stream(record, 1);
    EXPECT_EQ(trace.empty(), kind == 5 || kind == 8);  // the whole record works
    for (std::size_t n = 0; n < record.size(); ++n) {
      trace.clear();
      Bytes cut;
      cut.raw(std::string_view(reinterpret_cast<const char*>(record.data().data()), n));
      EXPECT_LE(run_stream(cut, 3), static_cast<int32_t>(n));
      EXPECT_TRUE(trace.empty()) << "cut at " << n;
    }
  }
}

TEST_F(EntityFrame, RecordCountsBeyondTheDataEndAtTheEnd) {
  const Bytes one_point = entity(1, PropsBlock(), Bytes().pt2(1, 2).zeros(16));
  EXPECT_EQ(run_stream(one_point, std::numeric_limits<uint32_t>::max()),
            static_cast<int32_t>(one_point.size()));
  EXPECT_EQ(ops("api_kt_create_point").size(), 1u);

  trace.clear();
  EXPECT_EQ(run_stream(one_point, 0), 0);
  EXPECT_TRUE(trace.empty());

  // Through a whole file: four billion records claimed, a few bytes there.
  trace.clear();
  load_entities(0xFFFFFFFFu, one_point);
  EXPECT_EQ(ops("api_kt_create_point").size(), 1u);
}

TEST_F(EntityFrame, UnknownKindsHaveNoPayload) {
  for (int kind : {9, 0, 101, -5, 10, 12, 32767, -32768}) {
    SCOPED_TRACE(kind);
    trace.clear();
    const Bytes stream = entity(kind, PropsBlock()).append(sentinel());
    ASSERT_EQ(entity(kind, PropsBlock()).size(), 12u);
    EXPECT_EQ(run_stream(stream, 2), static_cast<int32_t>(stream.size()));
    EXPECT_EQ(trace.size(), 3u);
    EXPECT_TRUE(sentinel_read());
  }
}

}  // namespace
