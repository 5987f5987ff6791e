// The views' access to drawables and layers: each kind reaches the visitor
// as its own type, a kind the kernel does not define reaches nothing, and
// layers by number stop at the collection's ends.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>

#include "kernel/kt_drawables.h"
#include "tests/support/drawing_fixture.h"
#include "view/drawables.h"
#include "view/kind_names.h"
#include "view/layer_index.h"

namespace {

using kttrv::view::Overloads;

// The type a visit called, by name.
std::string visited_type(const KT_Drawable& d) {
  std::string type = "nothing";
  kttrv::view::visit(d, Overloads{[&](const KT_Point_Entity&) { type = "point"; },
                                  [&](const KT_Line_Entity&) { type = "line"; },
                                  [&](const KT_Solid_Entity&) { type = "solid"; },
                                  [&](const KT_Circle_Entity&) { type = "circle"; },
                                  [&](const KT_Arc_Entity&) { type = "arc"; },
                                  [&](const KT_Text_Entity&) { type = "text"; },
                                  [&](const KT_Insert_Entity&) { type = "insert"; },
                                  [&](const KT_Dimension_Entity&) { type = "dimension"; },
                                  [&](const KT_Vertex_Entity&) { type = "vertices"; }});
  return type;
}

TEST(ViewDrawablesTest, EachKindIsVisitedAsItsTypeAndNamed) {
  KT_Point_Entity point;
  KT_Line_Entity line;
  KT_Solid_Entity solid;
  KT_Circle_Entity circle;
  KT_Arc_Entity arc;
  KT_Text_Entity text;
  KT_Insert_Entity insert;
  KT_Dimension_Entity dimension;
  KT_Vertex_Entity polyline, point_set, undefined;
  struct Case {
    KT_Drawable& d;
    KT_Drawable_Kind kind;
    std::string_view type, name;
  };
  const Case cases[] = {
      {point, KT_Drawable_Kind::point, "point", "point"},
      {line, KT_Drawable_Kind::line, "line", "line"},
      {solid, KT_Drawable_Kind::solid, "solid", "solid"},
      {circle, KT_Drawable_Kind::circle, "circle", "circle"},
      {arc, KT_Drawable_Kind::arc, "arc", "arc"},
      {text, KT_Drawable_Kind::text, "text", "text"},
      {insert, KT_Drawable_Kind::insert, "insert", "insert"},
      {dimension, KT_Drawable_Kind::dimension, "dimension", "dimension"},
      {polyline, KT_Drawable_Kind::polyline, "vertices", "polyline"},
      {point_set, KT_Drawable_Kind::point_set, "vertices", "point_set"},
      {undefined, static_cast<KT_Drawable_Kind>(200), "nothing", "unknown"},
  };
  for (const Case& c : cases) {
    c.d.kind = c.kind;
    EXPECT_EQ(visited_type(c.d), c.type) << c.name;
    EXPECT_EQ(kttrv::view::kind_name(c.kind), c.name);
    EXPECT_EQ(kttrv::view::as_insert(c.d) != nullptr, c.kind == KT_Drawable_Kind::insert) << c.name;
  }
}

TEST_F(DrawingTest, LayersByNumberAreTheCollectionsOrderAndStopAtItsEnds) {
  KT_Layer *a = nullptr, *b = nullptr;
  api_kt_create_layer(a, "A", 1, 0, true, false, false);
  api_kt_create_layer(b, "B", 2, 0, false, false, false);
  const kttrv::view::LayerIndex layers(drawing);
  EXPECT_EQ(layers.size(), 2u);
  EXPECT_EQ(layers.find(0), a);
  EXPECT_EQ(layers.find(1), b);
  for (long outside : {-1L, 2L, static_cast<long>(INT32_MIN)}) EXPECT_EQ(layers.find(outside), nullptr) << outside;
}

}  // namespace
