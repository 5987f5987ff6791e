#include <gtest/gtest.h>

#include "host/zirida_host.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/entity_stream_run.h"

namespace {

using nlohmann::json;

// The 58-byte polyline header.
Bytes header(int32_t polyline_flags, int32_t has_vertices) {
  return Bytes().zeros(26).i32(polyline_flags).zeros(24).i32(has_vertices);
}

// A vertex record; mask bits other than 0x8 get filler values.
Bytes vertex(double x, double y, int vertex_flags = 0, int32_t extra_mask = 0, const PropsBlock& props = {}) {
  const int32_t mask = extra_mask | 0x8;
  Bytes b = props.bytes();
  b.i32(mask).pt3(x, y, 7.0);
  for (int32_t bit : {0x1, 0x2, 0x4})
    if (mask & bit) b.f64(9.5);
  b.i16(vertex_flags);
  if (mask & 0x10) b.f64(9.5);
  for (int32_t bit : {0x20, 0x40, 0x80, 0x100})
    if (mask & bit) b.i16(-9);
  return b;
}

Bytes polyline(int32_t polyline_flags, const std::vector<Bytes>& vertices, const PropsBlock& props = {}) {
  Bytes payload = header(polyline_flags, 1).u32(vertices.size());
  for (const Bytes& v : vertices) payload.append(v);
  return entity(13, props, payload);
}

class PolylineRecord : public DrawingTest {
 protected:
  // The (index, x, y, z) of every position set.
  std::vector<json> positions() const {
    std::vector<json> out;
    for (const json& op : ops("api_kt_set_pline_pos")) out.push_back({op["args"][1], op["args"][2], op["args"][3], op["args"][4]});
    return out;
  }
};

TEST_F(PolylineRecord, EachRecordOccupiesExactlyItsBytes) {
  const struct {
    const char* what;
    Bytes record;
    std::size_t size;
  } cases[] = {
      {"no vertices", entity(13, {}, header(0, 0)), 2 + 10 + 58},
      {"presence set, N = 0", entity(13, {}, header(0, 1).u32(0)), 2 + 10 + 62},
      {"mask 0x8 vertex", polyline(0, {vertex(1, 2)}), 2 + 10 + 62 + 10 + 28 + 2},
      {"every mask bit", polyline(0, {vertex(1, 2, 0, 0x1FF)}), 2 + 10 + 62 + 10 + 28 + 3 * 8 + 2 + 8 + 4 * 2},
      {"mask bits 9 to 31 carry nothing", polyline(0, {vertex(1, 2, 0, ~0x1FF)}), 2 + 10 + 62 + 10 + 28 + 2},
      {"vertex with its own property fields",
       polyline(0, {vertex(1, 2, 0, 0, PropsBlock().layer(3).color(4).mirrored())}),
       2 + 10 + 62 + (10 + 2 + 2 + 27) + 28 + 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.record.size(), c.size);
    Bytes stream = c.record;
    stream.append(unknown_record());
    const StreamRun one = run_stream(stream, 1);
    EXPECT_TRUE(one.complete);
    EXPECT_EQ(one.position, static_cast<int32_t>(c.size));
    EXPECT_TRUE(run_stream(stream, 2).complete);
  }
}

TEST_F(PolylineRecord, NoVerticesCreatesNothingAndZeroVerticesAnEmptyPolyline) {
  run_stream(entity(13, {}, header(0, 0)), 1);
  EXPECT_TRUE(trace.empty());
  run_stream(entity(13, {}, header(0x1, 1).u32(0)), 1);
  ASSERT_EQ(ops().size(), 1u);
  EXPECT_EQ(ops()[0]["op"], "api_kt_create_polyline");
  EXPECT_EQ(ops()[0]["args"], json::parse("[0,false]"));
}

TEST_F(PolylineRecord, CreatesOpenPolylineAndSetsPositionsWithoutProperties) {
  // Closed-looking flags and a coloured layer still give an open polyline
  // that keeps the kernel's colour and layer.
  run_stream(polyline(0x1, {vertex(1, 2), vertex(3, 4)}, PropsBlock().layer(2).color(5)), 1);
  const auto all = ops();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0]["op"], "api_kt_create_polyline");
  EXPECT_EQ(all[0]["args"], json::parse("[2,false]"));
  EXPECT_EQ(all[1]["args"], json::array({all[0]["id"], 0, 1.0, 2.0, 0.0}));
  EXPECT_EQ(all[2]["args"], json::array({all[0]["id"], 1, 3.0, 4.0, 0.0}));
}

TEST_F(PolylineRecord, VertexFilterPassesOverVerticesButKeepsTheirIndex) {
  const struct {
    int32_t polyline_flags;
    int vertex_flags;
    bool set;
  } cases[] = {
      {0x2, 0x1, false}, {0x2, 0x0, true},   {0x0, 0x1, true},   {0x4, 0x10, false}, {0x4, 0x1, true},
      {0x2, 0x10, true}, {0x0, 0x80, false}, {0x6, 0x80, false}, {0x2, 0x81, false}, {0x0, 0x81, true},
      {0x4, 0x81, true}, {0x0, -1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "polyline flags " << c.polyline_flags << ", vertex flags " << c.vertex_flags);
    trace.clear();
    run_stream(polyline(c.polyline_flags, {vertex(1, 1), vertex(2, 2, c.vertex_flags), vertex(3, 3)}), 1);
    std::vector<json> expected = {json::array({0, 1.0, 1.0, 0.0})};
    if (c.set) expected.push_back(json::array({1, 2.0, 2.0, 0.0}));
    expected.push_back(json::array({2, 3.0, 3.0, 0.0}));
    EXPECT_EQ(positions(), expected);
  }
}

TEST_F(PolylineRecord, MirrorsOnlyOnItsOwnExtrusionOfMinusOne) {
  const struct {
    const char* what;
    PropsBlock record_props;
    PropsBlock vertex_props;
    double x;
  } cases[] = {
      {"record mirrored", PropsBlock().mirrored(), {}, -3.0},
      {"x and y of the extrusion not examined", PropsBlock().extrusion(0.5, 0.25, -1.0), {}, -3.0},
      {"only the vertex mirrored", {}, PropsBlock().mirrored(), 3.0},
      {"z of -0.5", PropsBlock().extrusion(0.0, 0.0, -0.5), {}, 3.0},
      {"z absent", PropsBlock().extrusion(0.0, 0.0, std::nullopt), {}, 3.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    trace.clear();
    run_stream(polyline(0, {vertex(3, 4, 0, 0, c.vertex_props)}, c.record_props), 1);
    EXPECT_EQ(positions(), std::vector<json>{json::array({0, c.x, 4.0, 0.0})});
  }
}

TEST_F(PolylineRecord, RefusedPolylineStillConsumesItsVertices) {
  zirida_refuse(KT_Op::create_polyline, true);
  Bytes stream = polyline(0, {vertex(1, 2), vertex(3, 4, 0, 0x1FF)});
  const auto size = static_cast<int32_t>(stream.size());
  stream.append(polyline(0, {vertex(5, 6)}));
  const StreamRun run = run_stream(stream, 2);
  EXPECT_TRUE(run.complete);
  EXPECT_EQ(run.position, static_cast<int32_t>(stream.size()));
  EXPECT_EQ(run_stream(stream, 1).position, size);
  const auto created = ops("api_kt_create_polyline");
  ASSERT_EQ(created.size(), 3u);
  for (const json& op : created) EXPECT_TRUE(op["id"].is_null());
  EXPECT_EQ(trace.size(), 3u);  // no positions, no properties
}

// Counts the data cannot hold create nothing. Within a count that fits, a
// polyline is created once its first vertex is read in full: it keeps its
// count and gets the positions read in full; the stream ends there.
TEST_F(PolylineRecord, CountsThatCannotFitCreateNothingCutVerticesKeepWhatWasRead) {
  const Bytes whole = polyline(0, {vertex(1, 2, 0, 0x1FF), vertex(3, 4), vertex(5, 6)});
  Bytes hostile = entity(13, {}, header(0, 1).u32(0x7FFFFFFF));
  hostile.append(vertex(1, 2));
  Bytes huge_count = entity(13, {}, header(0, 1).u32(0xFFFFFFFF));
  for (const Bytes* b : {&hostile, &huge_count}) {
    const StreamRun run = run_stream(*b, 1);
    EXPECT_FALSE(run.complete);
  }
  EXPECT_TRUE(trace.empty());

  const std::size_t first_end = 74 + 40 + 3 * 8 + 8 + 4 * 2;
  const struct {
    std::size_t cut;
    std::vector<json> positions;  // empty: nothing created
  } cases[] = {
      {20, {}},                               // inside the header
      {74, {}},                               // before the count's last byte
      {first_end - 1, {}},                    // inside the first vertex
      {first_end, {}},                        // three vertices cannot fit what is left
      {first_end + 38, {{0, 1.0, 2.0, 0.0}}},  // inside the second vertex
      {first_end + 41, {{0, 1.0, 2.0, 0.0}, {1, 3.0, 4.0, 0.0}}},
      {whole.size() - 1, {{0, 1.0, 2.0, 0.0}, {1, 3.0, 4.0, 0.0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cut);
    trace.clear();
    Bytes shortened = whole;
    shortened.data().resize(c.cut);
    EXPECT_FALSE(run_stream(shortened, 2).complete);
    const auto made = ops("api_kt_create_polyline");
    ASSERT_EQ(made.size(), c.positions.empty() ? 0u : 1u);
    if (!made.empty()) {
      EXPECT_EQ(made[0]["args"], json::parse("[3,false]"));
    }
    EXPECT_EQ(positions(), c.positions);
  }
}

}  // namespace
