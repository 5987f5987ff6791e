#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "format/color_palette.h"
#include "kernel/kt_drawables.h"
#include "tests/support/drawing_fixture.h"

namespace {

class Kernel : public DrawingTest {};

TEST_F(Kernel, CollectionsAreOrderedLinkedAndNumbered) {
  KT_Layer* a = nullptr;
  KT_Layer* b = nullptr;
  api_kt_create_layer(a, "A", 255, 1, true, false, false);
  api_kt_create_layer(b, "B", 0, 2, false, true, true);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(drawing.layers.first, a);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(b->prev, a);
  EXPECT_EQ(drawing.layers.last, b);
  EXPECT_EQ(count_of(drawing.layers), 2);
  EXPECT_EQ(a->id, 1);
  EXPECT_EQ(b->id, 2);
  EXPECT_STREQ(b->name, "B");
}

TEST_F(Kernel, DrawablesLandInTheOpenBlockThenInModelSpace) {
  const double base[3] = {1, 2, 3};
  const double p[3] = {4, 5, 0};
  KT_Block* block = nullptr;
  KT_Drawable* inside = nullptr;
  KT_Drawable* outside = nullptr;
  api_kt_create_block(block, "B", base);
  api_kt_create_point(inside, p);
  api_kt_end_block(block);
  api_kt_create_point(outside, p);
  ASSERT_TRUE(block && inside && outside);
  EXPECT_EQ(block->entities.first, inside);
  EXPECT_EQ(drawing.model_space.first, outside);
  EXPECT_EQ(drawing.model_space.last, outside);
  EXPECT_EQ(block->base.z, 3.0);
}

TEST_F(Kernel, RefusedCreationYieldsNothingAndNoId) {
  zirida_refuse(KT_Op::create_circle, true);
  EXPECT_EQ(api_kt_create_circle(1, 2, 3), nullptr);
  zirida_refuse(KT_Op::create_circle, false);
  KT_Drawable* c = api_kt_create_circle(1, 2, 3);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->id, 1);
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0], R"({"op":"api_kt_create_circle","args":[1,2,3],"id":null})");
  EXPECT_EQ(trace[1], R"({"op":"api_kt_create_circle","args":[1,2,3],"id":1})");
}

TEST_F(Kernel, TraceWritesRealsStringsAndNullsByTheContract) {
  const double p[3] = {0.1, -0.0, 1e300};
  KT_Drawable* t = nullptr;
  api_kt_create_text(t, "caf\xE9 \"q\"\n", nullptr, p, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity());
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0],
            "{\"op\":\"api_kt_create_text\",\"args\":[\"caf\xC3\xA9 \\\"q\\\"\\n\",null,[0.1,-0,1e+300],"
            "\"nan\",\"inf\",\"-inf\"],\"id\":1}");
}

TEST_F(Kernel, ColourByIndexUsesPaletteAndLayers) {
  KT_Layer* l = nullptr;
  api_kt_create_layer(l, "L", 0x123456, 1, true, false, false);
  EXPECT_EQ(api_kt_get_color_byindex(3, 0), 0x00FF00);
  EXPECT_EQ(api_kt_get_color_byindex(-1, 0), 0x123456);  // by layer
  EXPECT_EQ(api_kt_get_color_byindex(-1, 5), static_cast<long>(color_palette[7]));  // no such layer
  EXPECT_EQ(api_kt_get_color_byindex(300, 0), static_cast<long>(color_palette[7]));
  EXPECT_EQ(trace.back(), R"({"op":"api_kt_get_color_byindex","args":[300,0],"ret":0})");
}

TEST_F(Kernel, VertexEntitiesKeepPositionsWithinTheirCount) {
  KT_Drawable* pl = nullptr;
  api_kt_create_polyline(pl, 2, true);
  ASSERT_NE(pl, nullptr);
  api_kt_set_pline_pos(pl, 1, 3, 4, 0);
  api_kt_set_pline_pos(pl, 2, 9, 9, 9);   // outside: ignored
  api_kt_set_ptset_pos(pl, 0, 9, 9, 9);   // not a point set: ignored
  auto* e = static_cast<KT_Vertex_Entity*>(pl);
  EXPECT_EQ(e->vertices[1].x, 3);
  EXPECT_EQ(e->vertices[0].x, 0);
  EXPECT_TRUE(e->closed);
}

TEST_F(Kernel, DefaultObjectsAppendWithKernelDefaults) {
  KT_Text_Style* s = kt_append_text_style(drawing);
  KT_Block* b = kt_append_block(drawing);
  kt_append_line_type(drawing);
  EXPECT_STREQ(s->name, "*no name");
  EXPECT_EQ(s->reals[0], 10.0);
  EXPECT_STREQ(b->name, "Block");
  EXPECT_STREQ(b->description, "DESC");
  EXPECT_EQ(trace[0], R"({"op":"append_text_style","args":[],"id":1})");
}

TEST_F(Kernel, FileExtensionIgnoresLetterCase) {
  EXPECT_TRUE(is_file_ext("C:\\FONTS\\ARIAL.TTF", "ttf"));
  EXPECT_TRUE(is_file_ext("a.b.ttc", "TTC"));
  EXPECT_FALSE(is_file_ext("arial", "ttf"));
  EXPECT_FALSE(is_file_ext("dir.ttf/arial", "ttf"));
  EXPECT_FALSE(is_file_ext("arial.ttfx", "ttf"));
}

}  // namespace
