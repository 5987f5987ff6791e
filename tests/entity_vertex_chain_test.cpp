#include <gtest/gtest.h>

#include "host/zirida_host.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/entity_stream_run.h"

namespace {

using nlohmann::json;

// A kind 28 record: count, chain flags, two unused fields, extras field, then
// the given points and, when asked, 24 bytes of extras per point.
Bytes chain(int32_t count, int chain_flags, int32_t extras, const std::vector<std::pair<double, double>>& points,
            bool with_extras = false, const PropsBlock& props = {}) {
  Bytes payload;
  payload.i32(count).u16(chain_flags).f64(8.5).i32(77).i32(extras);
  for (const auto& [x, y] : points) payload.pt2(x, y);
  if (with_extras) payload.zeros(24 * points.size());
  return entity(28, props, payload);
}

class VertexChainRecord : public DrawingTest {
 protected:
  // The (index, x, y, z) of every position of the named set call.
  std::vector<json> positions(const std::string& op_name) const {
    std::vector<json> out;
    for (const json& op : ops(op_name)) out.push_back({op["args"][1], op["args"][2], op["args"][3], op["args"][4]});
    return out;
  }
};

TEST_F(VertexChainRecord, EachRecordOccupiesExactlyItsBytes) {
  const struct {
    const char* what;
    Bytes record;
    std::size_t payload;
  } cases[] = {
      {"N = -3", chain(-3, 0, 1, {}), 22},
      {"N = 0", chain(0, 0, 0, {}), 22},
      {"point set", chain(2, 0, 0, {{1, 2}, {3, 4}}), 22 + 32},
      {"polyline, W < 0: no extras", chain(2, 0, -1, {{1, 2}, {3, 4}}), 22 + 32},
      {"polyline, W > 0: extras", chain(2, 0, 5, {{1, 2}, {3, 4}}, true), 22 + 32 + 48},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.record.size(), 12 + c.payload);
    Bytes stream = c.record;
    stream.append(unknown_record());
    const StreamRun one = run_stream(stream, 1);
    EXPECT_TRUE(one.complete);
    EXPECT_EQ(one.position, static_cast<int32_t>(c.record.size()));
    EXPECT_TRUE(run_stream(stream, 2).complete);
  }
  // Each case ran twice: one point set and two polylines each time.
  EXPECT_EQ(ops("api_kt_create_lines").size(), 2u);
  EXPECT_EQ(ops("api_kt_create_polyline").size(), 4u);
}

TEST_F(VertexChainRecord, ClosedPointSetRepeatsTheFirstPointWithoutProperties) {
  run_stream(chain(4, 0x200, 0, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}, false, PropsBlock().layer(1).color(3)), 1);
  const auto created = ops("api_kt_create_lines");
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0]["args"], json::parse("[5]"));
  for (const json& op : ops("api_kt_set_ptset_pos")) EXPECT_EQ(op["args"][0], created[0]["id"]);
  EXPECT_EQ(positions("api_kt_set_ptset_pos"), json::parse("[[0,1,2,0],[1,3,4,0],[2,5,6,0],[3,7,8,0],[4,1,2,0]]"));
  EXPECT_EQ(trace.size(), 6u);  // no colour, no properties
}

TEST_F(VertexChainRecord, OpenPointSetHasExactlyItsPoints) {
  run_stream(chain(2, 0x1FF, 0, {{1, 2}, {3, 4}}), 1);
  EXPECT_EQ(ops("api_kt_create_lines")[0]["args"], json::parse("[2]"));
  EXPECT_EQ(positions("api_kt_set_ptset_pos"), json::parse("[[0,1,2,0],[1,3,4,0]]"));
}

TEST_F(VertexChainRecord, NonZeroExtrasFieldMakesAPolylineWithProperties) {
  for (const int32_t extras : {-1, 1}) {
    SCOPED_TRACE(extras);
    trace.clear();
    run_stream(chain(2, 0x200, extras, {{1, 2}, {3, 4}}, extras > 0, PropsBlock().layer(0).color(3)), 1);
    const auto all = ops();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0]["op"], "api_kt_create_polyline");
    EXPECT_EQ(all[0]["args"], json::parse("[2,true]"));
    EXPECT_EQ(positions("api_kt_set_pline_pos"), json::parse("[[0,1,2,0],[1,3,4,0]]"));
    EXPECT_EQ(all[3]["op"], "api_kt_get_color_byindex");
    EXPECT_EQ(all[3]["args"], json::parse("[3,0]"));
    EXPECT_EQ(all[4]["op"], "api_set_drawable_prop");
    EXPECT_EQ(all[4]["args"], json::array({all[0]["id"], all[3]["ret"], 0, 0}));
  }
}

TEST_F(VertexChainRecord, MirrorsOnAnyNegativeExtrusionZ) {
  const struct {
    const char* what;
    PropsBlock props;
    bool mirrored;
  } cases[] = {
      {"z = -1", PropsBlock().mirrored(), true},
      {"z = -0.5", PropsBlock().extrusion(0.0, 0.0, -0.5), true},
      {"z = -1e-300", PropsBlock().extrusion(1.0, 1.0, -1e-300), true},
      {"z = -0.0", PropsBlock().extrusion(0.0, 0.0, -0.0), false},
      {"z = 1", PropsBlock().extrusion(0.0, 0.0, 1.0), false},
      {"z absent", PropsBlock().extrusion(0.0, 0.0, std::nullopt), false},
      {"no extrusion", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    trace.clear();
    run_stream(chain(2, 0, 0, {{1, 2}, {-3, 4}}, false, c.props), 1);
    run_stream(chain(1, 0, 1, {{5, 6}}, true, c.props), 1);
    const double s = c.mirrored ? -1.0 : 1.0;
    EXPECT_EQ(positions("api_kt_set_ptset_pos"), json::array({json::array({0, s * 1, 2.0, 0.0}), json::array({1, s * -3, 4.0, 0.0})}));
    EXPECT_EQ(positions("api_kt_set_pline_pos"), json::array({json::array({0, s * 5, 6.0, 0.0})}));
  }
}

TEST_F(VertexChainRecord, RefusedCreationsStillConsumeTheRecord) {
  zirida_refuse(KT_Op::create_lines, true);
  zirida_refuse(KT_Op::create_polyline, true);
  Bytes stream = chain(2, 0x200, 0, {{1, 2}, {3, 4}});
  stream.append(chain(2, 0, 1, {{1, 2}, {3, 4}}, true, PropsBlock().color(3)));
  stream.append(unknown_record());
  const StreamRun run = run_stream(stream, 3);
  EXPECT_TRUE(run.complete);
  EXPECT_EQ(run.position, static_cast<int32_t>(stream.size()));
  ASSERT_EQ(trace.size(), 2u);  // the two creation calls and nothing else
  EXPECT_TRUE(ops("api_kt_create_lines")[0]["id"].is_null());
  EXPECT_TRUE(ops("api_kt_create_polyline")[0]["id"].is_null());
}

TEST_F(VertexChainRecord, PointBufferIsReusedAcrossRecords) {
  Bytes stream = chain(3, 0, 0, {{1, 1}, {2, 2}, {3, 3}});
  stream.append(chain(1, 0x200, 0, {{9, 8}}));
  run_stream(stream, 2);
  EXPECT_EQ(positions("api_kt_set_ptset_pos"), json::parse("[[0,1,1,0],[1,2,2,0],[2,3,3,0],[0,9,8,0],[1,9,8,0]]"));
}

TEST_F(VertexChainRecord, CountsThatCannotFitAndRecordsCutShortCreateNothing) {
  const struct {
    const char* what;
    Bytes record;
  } cases[] = {
      {"N = 0x7FFFFFFF", chain(0x7FFFFFFF, 0x200, 0, {{1, 2}, {3, 4}})},
      {"N = 0x7FFFFFFF, W > 0", chain(0x7FFFFFFF, 0, 1, {{1, 2}}, true)},
      // 16·N bytes are there, but not the 24·N extras behind them.
      {"points without their extras", chain(2, 0, 1, {{1, 2}, {3, 4}, {5, 6}})},
      {"last point cut short", [] { Bytes b = chain(2, 0, 0, {{1, 2}, {3, 4}}); b.data().pop_back(); return b; }()},
      {"fields cut short", [] { Bytes b = chain(2, 0, 0, {}); b.data().resize(12 + 20); return b; }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(run_stream(c.record, 1).complete);
  }
  EXPECT_TRUE(trace.empty());
}

}  // namespace
