#include <gtest/gtest.h>

#include "host/zirida_host.h"
#include "tests/support/entity_fixture.h"

using nlohmann::json;

namespace {

class GeometryRecords : public EntityTest {};

double radians(double degrees) { return degrees * 3.141592653589793 * 0.005555555555555556; }

Bytes point_payload(double x, double y) { return Bytes().pt2(x, y).f64(99).f64(98); }
Bytes line_payload() { return Bytes().pt3(1, 2, 9).pt3(3, 4, 9); }
Bytes circle_payload() { return Bytes().pt3(5, 7, 9).f64(2); }
Bytes arc_payload(double start, double end) { return Bytes().pt3(5, 7, 9).f64(2).f64(start).f64(end); }
// Corners (0,0), (1,0), (0,1), (1,1) with z values that must not reach the kernel.
Bytes corners_payload() { return Bytes().pt3(0, 0, 9).pt3(1, 0, 9).pt3(0, 1, 9).pt3(1, 1, 9); }

// The creation call: its name and arguments.
struct Case {
  const char* name;
  int kind;
  Bytes payload;
  const char* plain;     // created with no extrusion
  const char* mirrored;  // created with extrusion (0, 0, -1)
};

std::vector<Case> cases() {
  return {
      {"point", 1, point_payload(3, 4), R"({"op":"api_kt_create_point","args":[[3,4,0]]})",
       R"({"op":"api_kt_create_point","args":[[3,4,0]]})"},
      {"line", 2, line_payload(), R"({"op":"api_kt_create_line","args":[[1,2,0],[3,4,0]]})",
       R"({"op":"api_kt_create_line","args":[[1,2,0],[3,4,0]]})"},
      {"circle", 3, circle_payload(), R"({"op":"api_kt_create_circle","args":[5,7,2]})",
       R"({"op":"api_kt_create_circle","args":[-5,7,2]})"},
      {"solid", 6, corners_payload(),
       R"({"op":"api_kt_create_solid","args":[[0,0,0],[1,0,0],[1,1,0],[0,1,0],4]})",
       R"({"op":"api_kt_create_solid","args":[[-0,0,0],[-1,0,0],[-1,1,0],[-0,1,0],4]})"},
  };
}

TEST_F(GeometryRecords, KernelCallsAndMirroring) {
  for (const Case& c : cases()) {
    for (bool mirror : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (mirror ? " mirrored" : ""));
      trace.clear();
      PropsBlock props = PropsBlock().color(3).layer(0);
      if (mirror) props.mirrored();
      load_entities(2, entity(c.kind, props, c.payload).append(sentinel()));
      ASSERT_EQ(trace.size(), 6u);
      json created = ops()[0];
      const json id = created["id"];
      created.erase("id");
      EXPECT_EQ(created, json::parse(mirror ? c.mirrored : c.plain));
      EXPECT_EQ(trace[1], R"({"op":"api_kt_get_color_byindex","args":[3,0],"ret":65280})");
      EXPECT_EQ(ops()[2], json({{"op", "api_set_drawable_prop"}, {"args", {id, 65280, 0, 0}}}));
      EXPECT_TRUE(sentinel_read());
    }
  }
}

TEST_F(GeometryRecords, ArcAnglesAreConvertedAndReflected) {
  struct ArcCase {
    double start, end;
    bool mirror;
    double centre_x, kernel_start, kernel_end;
  } arcs[] = {
      {0, 90, false, 5, radians(0), radians(90)},
      {10, 80, true, -5, radians(100), radians(170)},
      {-30, 400, false, 5, radians(-30), radians(400)},
      {-30, 400, true, -5, radians(-220), radians(210)},
  };
  for (const ArcCase& a : arcs) {
    trace.clear();
    PropsBlock props;
    if (a.mirror) props.extrusion({}, {}, -1.0);
    load_entities(2, entity(4, props, arc_payload(a.start, a.end)).append(sentinel()));
    const auto created = ops("api_kt_create_arc");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]["args"][0], json::array({a.centre_x, 7, 0}));
    EXPECT_EQ(created[0]["args"][1], 2);
    EXPECT_EQ(created[0]["args"][2].get<double>(), a.kernel_start);
    EXPECT_EQ(created[0]["args"][3].get<double>(), a.kernel_end);
    EXPECT_TRUE(sentinel_read());
  }
  // The conversion multiplies by pi, then by one 180th.
  EXPECT_NEAR(radians(90), 1.5708, 1e-4);
  EXPECT_NEAR(radians(100), 1.7453, 1e-4);
  EXPECT_NEAR(radians(170), 2.9671, 1e-4);
}

TEST_F(GeometryRecords, OnlyAnExactMinusOneZMirrors) {
  struct ZCase {
    std::optional<double> x, z;
    double centre_x;
  } zs[] = {{0.5, -1.0, -5}, {{}, -0.999, 5}, {{}, 1.0, 5}, {{}, {}, 5}, {{}, -1.0 - 1e-15, 5}};
  for (const ZCase& z : zs) {
    trace.clear();
    load_entities(1, entity(3, PropsBlock().extrusion(z.x, 0.0, z.z), circle_payload()));
    ASSERT_FALSE(ops("api_kt_create_circle").empty());
    EXPECT_EQ(ops("api_kt_create_circle")[0]["args"][0], z.centre_x);
  }
}

TEST_F(GeometryRecords, FourCornerRecordConsumesItsBytesAndCreatesNothing) {
  load_entities(2, entity(5, PropsBlock().color(1).mirrored(), corners_payload()).append(sentinel()));
  EXPECT_EQ(trace.size(), 3u);
  EXPECT_TRUE(sentinel_read());
}

TEST_F(GeometryRecords, RefusedCreationGetsNoPropertiesAndTheStreamGoesOn) {
  const std::pair<KT_Op, Case> refusals[] = {
      {KT_Op::create_point, cases()[0]},
      {KT_Op::create_line, cases()[1]},
      {KT_Op::create_circle, cases()[2]},
      {KT_Op::create_arc, {"arc", 4, arc_payload(0, 90), nullptr, nullptr}},
      {KT_Op::create_solid, cases()[3]},
  };
  for (const auto& [op, c] : refusals) {
    SCOPED_TRACE(c.name);
    trace.clear();
    zirida_refuse(op, true);
    // Refusing lines refuses the usual sentinel too: follow lines with a point.
    const bool lines = op == KT_Op::create_line;
    const Bytes next = lines ? entity(1, PropsBlock(), point_payload(101, 102)) : sentinel();
    load_entities(2, entity(c.kind, PropsBlock().color(2), c.payload).append(next));
    zirida_refuse(op, false);
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(ops()[0]["id"], nullptr);
    EXPECT_EQ(ops()[1]["op"], lines ? "api_kt_create_point" : "api_kt_create_line");
    EXPECT_EQ(ops()[3]["op"], "api_set_drawable_prop");
  }
}

}  // namespace
