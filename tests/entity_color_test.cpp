#include <gtest/gtest.h>

#include <algorithm>

#include "format/color_palette.h"
#include "entities/entity_props.h"
#include "tests/support/entity_fixture.h"

namespace {

// Channels of a colour value 0x00BBGGRR.
uint32_t red(uint32_t v) { return v & 0xFF; }
uint32_t green(uint32_t v) { return (v >> 8) & 0xFF; }
uint32_t blue(uint32_t v) { return (v >> 16) & 0xFF; }
uint32_t brightest(uint32_t v) { return std::max({red(v), green(v), blue(v)}); }
uint32_t darkest(uint32_t v) { return std::min({red(v), green(v), blue(v)}); }

TEST(ColorPalette, FixedEntries) {
  struct Case {
    int number;
    uint32_t value;
  } cases[] = {
      {0, 0x000000},  {1, 0x0000FF},  {2, 0x00FFFF},  {3, 0x00FF00},   {4, 0xFFFF00},
      {5, 0xFF0000},  {6, 0xFF00FF},  {7, 0x000000},  {8, 0x989898},   {9, 0xC0C0C0},
      {10, 0x0000FF}, {11, 0x8080FF}, {50, 0x00FFFF}, {90, 0x00FF00},  {130, 0xFFFF00},
      {170, 0xFF0000}, {210, 0xFF00FF}, {137, 0x4C4C26}, {249, 0x181326}, {250, 0x545454},
      {252, 0x989898}, {253, 0xBBBBBB}, {254, 0xDDDDDD}, {255, 0xBBBBBB},
  };
  for (const Case& c : cases) EXPECT_EQ(color_palette[c.number], c.value) << c.number;
  for (uint32_t v : color_palette) EXPECT_EQ(v >> 24, 0u);
}

// Numbers 10 to 249: 24 hues of ten. Even members are the hue at five falling
// levels; each odd member lightens its even neighbour towards the grey of the
// same level, so it keeps the brightest channel and raises the others.
TEST(ColorPalette, HueGroupsFollowTheirLevels) {
  const uint32_t levels[5] = {0xFF, 0xA6, 0x80, 0x4C, 0x26};
  for (int group = 0; group < 24; ++group) {
    for (int step = 0; step < 5; ++step) {
      const int even = 10 + group * 10 + step * 2;
      const uint32_t hue = color_palette[even];
      const uint32_t mixed = color_palette[even + 1];
      EXPECT_EQ(brightest(hue), levels[step]) << even;
      EXPECT_EQ(darkest(hue), 0u) << even;
      EXPECT_EQ(brightest(mixed), levels[step]) << even + 1;
      EXPECT_GE(red(mixed), red(hue)) << even + 1;
      EXPECT_GE(green(mixed), green(hue)) << even + 1;
      EXPECT_GE(blue(mixed), blue(hue)) << even + 1;
      EXPECT_NEAR(darkest(mixed), levels[step] / 2, 1.0) << even + 1;
    }
  }
}

class EntityColor : public EntityTest {};

// What reaches api_kt_get_color_byindex for the record's colour and layer.
TEST_F(EntityColor, NumbersReachTheKernelWithTheLayer) {
  struct Case {
    PropsBlock props;
    int color, layer;
  } cases[] = {
      {PropsBlock(), -1, 0},
      {PropsBlock().layer(4), -1, 4},
      {PropsBlock().color(256).layer(3), -1, 3},
      {PropsBlock().color(0), 0, 0},
      {PropsBlock().color(7).layer(-2), 7, -2},
      {PropsBlock().color(-5).layer(1), -5, 1},
  };
  for (const Case& c : cases) {
    trace.clear();
    load_entities(1, entity(1, c.props, Bytes().pt2(3, 4).zeros(16)));
    const auto lookups = ops("api_kt_get_color_byindex");
    ASSERT_EQ(lookups.size(), 1u);
    EXPECT_EQ(lookups[0]["args"], nlohmann::json::array({c.color, c.layer}));
    const auto props = ops("api_set_drawable_prop");
    ASSERT_EQ(props.size(), 1u);
    EXPECT_EQ(props[0]["args"][1], lookups[0]["ret"]);  // the value as the kernel gave it
    EXPECT_EQ(props[0]["args"][2], 0);
    EXPECT_EQ(props[0]["args"][3], c.layer);
  }
}

TEST_F(EntityColor, ByLayerResolvesThroughTheLayerOfThatNumber) {
  KT_Layer* walls = nullptr;
  api_kt_create_layer(walls, "WALLS", 0x123456, 1, true, false, false);
  EntityProps by_layer;
  EXPECT_EQ(entity_color(by_layer), 0x123456);
  by_layer.layer = 1;  // no second layer: the kernel's colour 7
  EXPECT_EQ(entity_color(by_layer), static_cast<long>(color_palette[7]));
  EntityProps red_one;
  red_one.color = 1;
  EXPECT_EQ(entity_color(red_one), 0x0000FF);
}

}  // namespace
