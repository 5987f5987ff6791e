// trv render, info and check on drawings built here and on every example:
// pixels where the transforms put them, pictures other programs open, info's
// counts against dump's, extents against hand-computed values, and check on
// every kind of cut.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <sys/wait.h>
#include <filesystem>
#include <memory>
#include <numbers>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "tests/support/drawing_fixture.h"
#include "tests/support/picture_fixture.h"
#include "host/zirida_host.h"
#include "load/load.h"
#include "load/load_document.h"
#include "tests/support/floor_plan.h"
#include "tests/support/written_file.h"
#include "view/extents.h"
#include "view/render.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using floor_plan::chain;
using floor_plan::insert;
using namespace picture_fixture;

class RenderTest : public DrawingTest {
 protected:
  std::unique_ptr<Picture> render_png(const std::vector<unsigned char>& bytes, int width,
                                      std::set<std::string> layers = {}) {
    EXPECT_TRUE(load(bytes));
    return render_loaded(width, std::move(layers));
  }
  // The drawing loaded last (a load adds to what the drawing holds: load once).
  std::unique_ptr<Picture> render_loaded(int width, std::set<std::string> layers = {}) {
    kttrv::view::RenderOptions options;
    options.width = width;
    options.layers = std::move(layers);
    const std::string out = (dir / "out.png").string();
    std::string error;
    EXPECT_TRUE(kttrv::view::render_drawing(drawing, options, kttrv::view::PictureFormat::png, out, error)) << error;
    auto picture = std::make_unique<Picture>(out);
    EXPECT_TRUE(picture->ok());
    return picture;
  }
};

// Each picture at three widths: where the transforms put a pixel follows
// from the width alone (a margin of 5 % of it on every side).
TEST_F(RenderTest, RedHorizontalLineIsRedOnItsRowAndBackgroundElsewhere) {
  // 10 units wide: 0.09 W pixels a unit; the flat drawing gets a tenth of
  // its width as height, the line across its middle row.
  ASSERT_TRUE(load(drawing_of({line_on(0, 0, 0, 10, 0)})));
  for (const int w : {200, 331, 640}) {
    const auto p = render_loaded(w);
    const int margin = w / 20, h = static_cast<int>(std::ceil(0.19 * w - 1e-9)), row = h / 2;
    ASSERT_EQ(p->width(), w);
    ASSERT_EQ(p->height(), h) << w;
    for (int x = margin + 2; x <= w - margin - 2; ++x) EXPECT_TRUE(p->red(x, row)) << w << ": " << x;
    for (int y : {0, h / 4, row - 4, row + 4, 3 * h / 4, h - 1})
      for (int x : {0, w / 4, w / 2, w - 1}) EXPECT_EQ(p->at(x, y), 0xFFFFFFu) << w << ": " << x << "," << y;
    EXPECT_EQ(p->at(margin - 3, row), 0xFFFFFFu) << w;  // the margin
  }
}

TEST_F(RenderTest, BlockInsertedAtNinetyDegreesAndScaleTwoLandsWhereTheTransformPutsIt) {
  // The block's line runs from its base (1, 0) one unit along x. Inserted at
  // (5, 5), turned 90 degrees, scale 2: it runs from (5, 5) to (5, 7).
  // Blue points at (0, 0) and (10, 10) fix the view: W pixels square,
  // margins of W / 20, 0.09 W pixels a unit, y up.
  const auto bytes = drawing_of({point_on(1, 0, 0), point_on(1, 10, 10), insert(floor_plan::kLayer0, "B", 5, 5, 2, 2, 90)},
                                one_block("B", 1, 0, {line_on(0, 1, 0, 2, 0)}));
  ASSERT_TRUE(load(bytes));
  for (const int w : {157, 220, 500}) {
    const auto p = render_loaded(w);
    ASSERT_EQ(p->height(), w);
    // The pixel that holds the point (a line on a pixel edge covers half of the one after it).
    auto px = [w](double x) { return static_cast<int>(std::floor(w / 20.0 + x * 0.09 * w)); };
    auto py = [w](double y) { return static_cast<int>(std::floor(w - w / 20.0 - y * 0.09 * w)); };
    for (double y : {5.2, 6.0, 6.8}) EXPECT_TRUE(p->red(px(5), py(y))) << w << ": " << y;
    // Not where the block's own coordinates, a turn the other way or scale 1
    // would have put it.
    for (auto [x, y] : {std::pair{5.5, 5.0}, {6.5, 5.0}, {5.0, 4.0}, {5.0, 3.2}, {5.0, 7.6}, {2.0, 0.0}})
      EXPECT_FALSE(p->red(px(x), py(y))) << w << ": " << x << "," << y;
  }
}

// Loads with the records carried, then renders with or without them.
class CarriedRenderTest : public RenderTest {
 protected:
  void load_carried(const std::vector<unsigned char>& bytes) {
    kttrv::LoadOptions load_options;
    load_options.observer = zirida_carry(drawing);
    EXPECT_TRUE(kttrv::load_drawing(kttrv::LoadSource::bytes(bytes), drawing, load_options).loaded);
  }
  std::unique_ptr<Picture> render(int width, bool carried) {
    kttrv::view::RenderOptions options;
    options.width = width;
    options.carried = carried ? zirida_carried(drawing) : nullptr;
    EXPECT_TRUE(!carried || options.carried != nullptr);
    const std::string out = (dir / "carried.png").string();
    std::string error;
    EXPECT_TRUE(kttrv::view::render_drawing(drawing, options, kttrv::view::PictureFormat::png, out, error)) << error;
    auto picture = std::make_unique<Picture>(out);
    EXPECT_TRUE(picture->ok());
    return picture;
  }
};

// A layer recoloured after the load recolours the drawables by layer on it,
// and only those: a drawable with a colour of its own keeps it.
TEST_F(CarriedRenderTest, ByLayerDrawablesTakeTheirLayersColourAsItIsNow) {
  // Two diagonals on RED (colour 1): one by layer, one red of its own.
  const auto bytes = drawing_of({line_on(0, 0, 0, 10, 10), entity(2, PropsBlock().layer(0).color(1),
                                                                  Bytes().pt3(0, 10, 0).pt3(10, 0, 0))});
  load_carried(bytes);
  static_cast<KT_Layer*>(drawing.layers.first)->color = 0xFF0000;  // blue, as 0x00BBGGRR
  for (const int w : {100, 151, 400}) {
    const auto p = render(w, false);
    // W pixels, margins of W / 20, 0.09 W a unit: (2, 2) at (0.23 W, 0.77 W).
    const int near_side = static_cast<int>(0.23 * w), far_side = static_cast<int>(0.77 * w);
    struct Case {
      int x, y;
      bool blue;
    } cases[] = {{near_side, far_side, true}, {far_side, near_side, true}, {near_side, near_side, false},
                 {far_side, far_side, false}};
    // The diagonals cross pixels at their corners: a pixel of the 3 x 3 around
    // the point is covered enough to show its colour.
    const auto near = [&p](int x, int y, bool (Picture::*is)(int, int) const) {
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (((*p).*is)(x + dx, y + dy)) return true;
      return false;
    };
    for (const Case& c : cases) {
      EXPECT_EQ(near(c.x, c.y, &Picture::blue), c.blue) << w << ": " << c.x << "," << c.y;
      EXPECT_EQ(near(c.x, c.y, &Picture::red), !c.blue) << w << ": " << c.x << "," << c.y;
    }
  }
}

// An attribute record: a bare property block, its 102 bytes (first point at
// 0, presence fields at 32, 36 and 68, angle at 44, height at 52), then a
// string per non-zero presence field: the tag, then the value.
Bytes attribute(double x, double y, double angle, double height, const std::string& tag, const std::string& value) {
  Bytes b = PropsBlock().bytes();
  b.pt2(x, y).zeros(16).i32(1).i32(0).zeros(4).f64(angle).f64(height).zeros(8);
  b.i32(value.empty() ? 0 : 1).zeros(6).pt2(0, 0).zeros(8);
  b.str(tag);
  if (!value.empty()) b.str(value);
  return b;
}

// Not white: something is drawn there.
long drawn_in(const Picture& p, int x0, int y0, int x1, int y1) {
  long n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += p.at(x, y) != 0xFFFFFFu;
  return n;
}

// The values of an insert's attributes are written where they stand, one
// height high and turned by their angle; a tag without a value is not, and
// without the carried records nothing is.
TEST_F(CarriedRenderTest, AttributeValuesAreWrittenWhereTheyStand) {
  // Blue points at (0, 0) and (10, 10) fix the view: 100 pixels, 5-pixel
  // margins, 9 a unit. The insert stands at (9, 9), its block a point.
  Bytes payload = Bytes().i32(0x2 | 0x400).pt3(9, 9, 0).str("B").u32(3);
  payload.append(attribute(1, 6, 0, 2, "A", "WWW"));       // across from (1, 6): rows 23 to 50
  payload.append(attribute(8, 1, 90, 2, "B", "WWW"));      // upwards from (8, 1)
  payload.append(attribute(1, 1, 0, 2, "TAG ONLY", ""));  // no value: nothing
  const auto bytes = drawing_of({point_on(1, 0, 0), point_on(1, 10, 10), entity(23, PropsBlock().layer(0), payload)},
                                one_block("B", 0, 0, {point_on(1, 0, 0)}));
  struct Case {
    const char* what;
    int x0, y0, x1, y1;  // a box of pixels
    bool drawn_with_carried;
  } cases[] = {
      {"across", 14, 34, 40, 50, true},
      {"upwards", 60, 50, 76, 86, true},
      {"tag only", 14, 70, 40, 86, false},
  };
  load_carried(bytes);
  // The boxes are for 100 pixels; at W they scale by W / 100.
  for (const int w : {100, 163, 300}) {
    const auto at = [w](int v) { return v * w / 100; };
    const auto with = render(w, true);
    for (const Case& c : cases)
      EXPECT_EQ(drawn_in(*with, at(c.x0), at(c.y0), at(c.x1), at(c.y1)) > 10 * w / 100, c.drawn_with_carried)
          << w << ": " << c.what;
    const auto without = render(w, false);
    for (const Case& c : cases)
      EXPECT_EQ(drawn_in(*without, at(c.x0), at(c.y0), at(c.x1), at(c.y1)), 0) << w << ": " << c.what;
  }
}

TEST_F(RenderTest, LayersThatAreOffOrNotAskedForDrawNothing) {
  ASSERT_TRUE(load(drawing_of({line_on(2, 0, 0, 10, 10), point_on(2, 3, 3)})));
  for (const int w : {100, 173, 400}) {
    const auto off = render_loaded(w);
    EXPECT_EQ(off->count(0xFFFFFF), long{off->width()} * off->height()) << w;
  }
}

TEST_F(RenderTest, LayersNotAskedForDrawNothing) {
  // Only BLUE asked for: nothing red anywhere, blue drawn.
  ASSERT_TRUE(load(drawing_of({line_on(0, 0, 0, 10, 10), line_on(1, 0, 10, 10, 0)})));
  for (const int w : {100, 173, 400}) {
    const auto only_blue = render_loaded(w, {"BLUE"});
    EXPECT_EQ(only_blue->count(&Picture::red), 0) << w;
    EXPECT_GT(only_blue->count(&Picture::blue), w / 2) << w;
  }
}

TEST_F(RenderTest, SelfInsertingBlocksTerminate) {
  // Twice itself per level: without a bound this never ends.
  const auto blocks = one_block("SELF", 0, 0, {line_on(0, 0, 0, 1, 0), insert(floor_plan::kLayer0, "SELF", 0, 1, 0.5, 0.5, 0),
                                               insert(floor_plan::kLayer0, "SELF", 1, 1, 0.5, 0.5, 0)});
  const auto p = render_png(drawing_of({insert(floor_plan::kLayer0, "SELF", 0, 0, 1, 1, 0)}, blocks), 100);
  EXPECT_TRUE(p->red(50, p->height() / 2));  // the line of the first level
  const kttrv::view::Extents e = kttrv::view::model_space_extents(drawing);
  EXPECT_EQ(e.max.x, 1.0);
}

TEST_F(RenderTest, ManyDrawablesInOnePixelDrawLikeOne) {
  // Blue points at (0, 0) and (10, 10) fix the view; red lines far below a
  // pixel, all in one, beside a blue one elsewhere: however many, the
  // picture is the same drawn in order. From the top down the lines on
  // either side of the pixels' corner are kept in two paths instead of one
  // (the last line of each pixel comes first), which darkens the dot's
  // edge; nothing else changes.
  for (const bool top_down : {false, true}) {
  std::vector<std::vector<uint32_t>> pictures;
  for (const int n : {1, 2, 5000}) {
    std::vector<Bytes> model = {point_on(1, 0, 0), point_on(1, 10, 10), line_on(1, 2, 2, 2.00001, 2)};
    for (int i = 0; i < n; ++i) model.push_back(line_on(0, 5 + i * 1e-7, 5, 5.00001, 5 + i * 1e-7));
    const auto bytes = drawing_of(model);
    KT_Drawing d;
    ASSERT_TRUE(load_torv_buffer(-1, bytes.data(), bytes.size(), d));
    kttrv::view::RenderOptions options;
    options.width = 100;
    options.top_down = top_down;
    const std::string out = (dir / "one-pixel.png").string();
    std::string error;
    ASSERT_TRUE(kttrv::view::render_drawing(d, options, kttrv::view::PictureFormat::png, out, error)) << error;
    const auto p = std::make_unique<Picture>(out);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < p->height(); ++y)
      for (int x = 0; x < p->width(); ++x) pixels.push_back(p->at(x, y));
    // (5, 5) is at the corner of four pixels: the dot tints them.
    EXPECT_NE(p->at(49, 49) & p->at(50, 50) & p->at(49, 50) & p->at(50, 49), 0xFFFFFFu) << n;
    pictures.push_back(std::move(pixels));
  }
  EXPECT_EQ(pictures[0], pictures[1]);
  for (std::size_t i = 0; i < pictures[0].size(); ++i)
    for (int shift : {0, 8, 16})
      ASSERT_LE(std::abs(static_cast<int>((pictures[0][i] >> shift) & 0xFF) - static_cast<int>((pictures[2][i] >> shift) & 0xFF)),
                top_down ? 48 : 0)
          << i;
  }
}

TEST_F(RenderTest, NestedInsertsStopAtTheWorkBudget) {
  // Eight levels, each a line and three inserts of the next: 3^8 lines at the
  // bottom. A budget below that cuts the picture (and says so), the default
  // draws it whole.
  Bytes blocks = Bytes().u32(8);
  for (int level = 0; level < 8; ++level) {
    std::vector<Bytes> entities = {line_on(0, 0, 0, 1, 0)};
    if (level < 7)
      for (int i = 0; i < 3; ++i)
        entities.push_back(insert(floor_plan::kLayer0, "B" + std::to_string(level + 1), i, 1, 0.3, 0.3, 0));
    blocks.append(floor_plan::block("B" + std::to_string(level), 0, 0, entities));
  }
  ASSERT_TRUE(load(drawing_of({insert(floor_plan::kLayer0, "B0", 0, 0, 1, 1, 0)}, blocks)));
  for (const auto& [budget, cut_expected] : {std::pair{1000LL, true}, std::pair{0LL, false}}) {
    kttrv::view::RenderOptions options;
    options.width = 200;
    options.work_budget = budget;
    const std::string out = (dir / "nested.png").string();
    std::string error;
    bool cut = false;
    ASSERT_TRUE(kttrv::view::render_drawing(drawing, options, kttrv::view::PictureFormat::png, out, error, &cut)) << error;
    EXPECT_EQ(cut, cut_expected) << budget;
  }
}

TEST_F(DrawingTest, ExtentsStopAtTheWorkBudgetAndAgreeBelowIt) {
  // A block of one 5,000-vertex chain, inserted 400 times turned: two
  // million points to place. The budget counts them, not the 400 drawables.
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 5000; ++i) points.emplace_back(i * 0.01, (i % 7) * 0.1);
  const Bytes blocks = one_block("LONG", 0, 0, {floor_plan::chain(floor_plan::kLayer0, points, false)});
  std::vector<Bytes> model;
  for (int i = 0; i < 400; ++i) model.push_back(insert(floor_plan::kLayer0, "LONG", i, 0, 1, 1, 10 + i));
  ASSERT_TRUE(load(drawing_of(model, blocks)));
  const kttrv::view::Extents unbounded = kttrv::view::model_space_extents(drawing);
  ASSERT_FALSE(unbounded.cut);
  struct Case {
    long long budget;
    bool cut;
  } cases[] = {{100'000, true}, {1'500'000, true}, {2'100'000, false}, {kttrv::view::work_budget(0), false}};
  for (const Case& c : cases) {
    kttrv::view::WalkOptions options;
    options.budget = c.budget;
    const kttrv::view::Extents e = kttrv::view::model_space_extents(drawing, options);
    EXPECT_EQ(e.cut, c.cut) << c.budget;
    if (!c.cut) {
      EXPECT_EQ(e.min.x, unbounded.min.x) << c.budget;
      EXPECT_EQ(e.max.y, unbounded.max.y) << c.budget;
    }
  }
}

TEST_F(DrawingTest, EmptyDrawingsAndTheFloorPlanGiveValidSvgPngAndPdf) {
  const std::string floor = temp_file(floor_plan::drawing().build(), "floor.trv");
  for (const auto& bytes : {TorvFile("HALD 2002").build(), floor_plan::drawing().build()}) {
    KT_Drawing d;
    ASSERT_TRUE(load_torv_buffer(-1, bytes.data(), bytes.size(), d));
    for (const char* name : {"p.svg", "p.png", "p.pdf"}) {
      const std::string out = (dir / name).string();
      std::string error;
      ASSERT_TRUE(kttrv::view::render_drawing(d, {}, *kttrv::view::picture_format(out), out, error)) << error;
    }
    EXPECT_EQ(std::system(("xmllint --noout " + (dir / "p.svg").string()).c_str()), 0);
    EXPECT_EQ(std::system(("pdfinfo " + (dir / "p.pdf").string() + " >/dev/null").c_str()), 0);
    EXPECT_TRUE(Picture((dir / "p.png").string()).ok());
  }
}

// Extents through placements: hand-computed values.
TEST_F(DrawingTest, ExtentsFollowArcsAndPlacedBlocks) {
  struct Case {
    const char* what;
    std::vector<Bytes> model;
    Bytes blocks;
    double min_x, min_y, max_x, max_y;
  };
  const double r2 = std::sqrt(2.0);
  const Bytes unit_circle = one_block("C", 0, 0, {entity(3, PropsBlock(), Bytes().pt3(0, 0, 0).f64(1))});
  const Case cases[] = {
      {"arc 45..135 degrees", {entity(4, PropsBlock(), Bytes().pt3(0, 0, 0).f64(2).f64(45).f64(135))}, {}, -r2, r2, r2, 2},
      {"arc across 0 degrees", {entity(4, PropsBlock(), Bytes().pt3(1, 1, 0).f64(1).f64(270).f64(90))}, {}, 1, 0, 2, 2},
      {"line through an insert turned 90, scale 2",
       {insert(floor_plan::kLayer0, "B", 5, 5, 2, 2, 90)}, one_block("B", 1, 0, {line_on(0, 1, 0, 2, 0)}), 5, 5, 5, 7},
      {"circle stretched 2 by 1", {insert(floor_plan::kLayer0, "C", 0, 0, 2, 1, 0)}, unit_circle, -2, -1, 2, 1},
      {"stretched circle turned 90", {insert(floor_plan::kLayer0, "C", 10, 0, 2, 1, 90)}, unit_circle, 9, -2, 11, 2},
  };
  for (const Case& c : cases) {
    KT_Drawing d;
    const auto bytes = drawing_of(c.model, c.blocks);
    ASSERT_TRUE(load_torv_buffer(-1, bytes.data(), bytes.size(), d)) << c.what;
    const kttrv::view::Extents e = kttrv::view::model_space_extents(d);
    ASSERT_FALSE(e.empty) << c.what;
    EXPECT_NEAR(e.min.x, c.min_x, 1e-9) << c.what;
    EXPECT_NEAR(e.min.y, c.min_y, 1e-9) << c.what;
    EXPECT_NEAR(e.max.x, c.max_x, 1e-9) << c.what;
    EXPECT_NEAR(e.max.y, c.max_y, 1e-9) << c.what;
  }
}

// The extents walk works out per placement what the drawable-by-drawable
// sum (Extents::add) works out per arc, and adds a block's points between
// two inserts in one loop, or from their extremes where the placement
// neither turns nor shears, or all of a block at once where the order
// cannot matter: on random drawings of every kind of drawable in nested,
// turned, mirrored and stretched blocks, with huge, infinite and NaN
// coordinates among them, the two agree to the bit (signs of zero
// included), with and without drawables left out, and both say whether
// the visit limit cut them. The visits of the sum's walk.
long expect_walk_is_the_sum(const KT_Drawing& d, const kttrv::view::WalkOptions& options, const std::string& what) {
  kttrv::view::Extents sum;
  long visits = 0;
  const bool whole = kttrv::view::walk_model_space(d, options, [&](const KT_Drawable& e, const kttrv::view::Placement& p) {
    sum.add(e, p);
    ++visits;
  });
  const kttrv::view::Extents walked = kttrv::view::model_space_extents(d, options);
  EXPECT_EQ(walked.empty, sum.empty) << what;
  EXPECT_EQ(walked.cut, !whole) << what;  // the extents say when the limit cut them
  for (const auto& [a, b] : {std::pair{walked.min, sum.min}, {walked.max, sum.max}})
    for (const auto& [x, y] : {std::pair{a.x, b.x}, {a.y, b.y}, {a.z, b.z}})
      EXPECT_EQ(std::bit_cast<uint64_t>(x), std::bit_cast<uint64_t>(y)) << what;
  return visits;
}

TEST_F(DrawingTest, ExtentsWalkMatchesTheDrawableByDrawableSum) {
  std::mt19937_64 rng(16);
  auto pick = [&](std::initializer_list<double> values) { return values.begin()[rng() % values.size()]; };
  // One round in three all signed zeros, mostly negative ones (a +0 among
  // the terms of a sum makes it +0): which zero stays depends on the order.
  bool zeros = false;
  auto real = [&](double range) {
    return zeros ? pick({0.0, -0.0, -0.0, -0.0}) : std::uniform_real_distribution<double>(-range, range)(rng);
  };
  // Mostly ordinary, now and then what a damaged file may hold.
  auto coord = [&](double range) {
    return rng() % 16 || zeros ? real(range)
                               : pick({0.0, -0.0, 1e308, -1e308, HUGE_VAL, -HUGE_VAL, std::nan(""), 5e-324});
  };
  for (int round = 0; round < 120; ++round) {
    zeros = round % 3 == 0;
    auto shape = [&](int block) {
      switch (rng() % 9) {
        case 0: return entity(3, PropsBlock(), Bytes().pt3(real(50), real(50), real(1)).f64(pick({0.0, -0.0, 1.0, real(9)})));
        case 1:
          return entity(4, PropsBlock(),
                        Bytes().pt3(real(50), real(50), 0).f64(real(9)).f64(pick({0.0, -0.0, 90.0, real(720)})).f64(real(720)));
        case 2: return line_on(rng() % 2, coord(50), pick({0.0, -0.0, real(50)}), coord(50), real(50));
        case 3: return point_on(rng() % 2, coord(50), coord(50));
        case 4: {
          Bytes corners;
          for (int i = 0; i < 4; ++i) corners.pt3(coord(50), coord(50), pick({0.0, -0.0, coord(5)}));
          return entity(5, PropsBlock(), corners);
        }
        case 5: {
          const int n = int(rng() % 6);
          Bytes chain = Bytes().i32(n).u16(0).f64(0).i32(0).i32(0);
          for (int i = 0; i < n; ++i) chain.pt2(coord(50), coord(50));
          return entity(28, PropsBlock(), chain);
        }
        case 6: {
          Bytes dim = Bytes().i32(0).i32(0).i32(0);
          for (int i = 0; i < 7; ++i) dim.pt3(coord(50), coord(50), real(1));
          return entity(18, PropsBlock(), dim.zeros(48).i16(0));
        }
        default: {
          const std::string inner = "B" + std::to_string(rng() % 5);  // no B4: an insert that leads nowhere
          return block > 0 ? insert(rng() % 2 ? floor_plan::kLayer0 : floor_plan::kWalls, inner,
                                    pick({0.0, -0.0, real(20)}), pick({0.0, -0.0, real(20)}),
                                    pick({1.0, -1.0, 0.0, real(3), 1e300}), pick({1.0, -1.0, real(3)}),
                                    pick({0.0, -0.0, 0.0, 90.0, 180.0, real(360)}))
                           : line_on(0, 0, 0, 0, 0);
        }
      }
    };
    Bytes blocks = Bytes().u32(4);
    for (int b = 0; b < 4; ++b) {
      std::vector<Bytes> entities;
      for (int i = 0; i < 8; ++i) entities.push_back(shape(b));
      blocks.append(floor_plan::block("B" + std::to_string(b), pick({0.0, -0.0, real(5)}), pick({0.0, real(5)}), entities));
    }
    std::vector<Bytes> model;
    for (int i = 0; i < 30; ++i)
      model.push_back(i % 3 ? shape(0)
                            : insert(floor_plan::kLayer0, "B" + std::to_string(rng() % 4), real(100), real(100),
                                     pick({1.0, -1.0, 0.0, real(4)}), pick({1.0, -1.0, real(4)}),
                                     pick({0.0, -0.0, 90.0, 270.0, real(360)})));
    KT_Drawing d;
    const auto bytes = drawing_of(model, blocks);
    ASSERT_TRUE(load_torv_buffer(-1, bytes.data(), bytes.size(), d));
    expect_walk_is_the_sum(d, {}, "round " + std::to_string(round));
    kttrv::view::WalkOptions on_layer_0;
    on_layer_0.shown = [](const KT_Drawable& e) { return e.layer == 0; };
    expect_walk_is_the_sum(d, on_layer_0, "layer 0, round " + std::to_string(round));
  }
}

// A walk that reaches the visit limit stops at the same drawable either way:
// sixteen blocks, each three lines, three inserts of the next and a line
// after them, placed so that every line visited lies further right than all
// before it. (A block added at once holds its last line too: one left in
// the box when the limit falls inside the block's inserts shows.)
TEST_F(DrawingTest, ExtentsWalkStopsWhereTheSumStops) {
  Bytes blocks = Bytes().u32(16);
  for (int b = 0; b < 16; ++b) {
    std::vector<Bytes> entities;
    for (int i = 0; i < 3; ++i) entities.push_back(line_on(0, i / 4.0, b, i / 4.0 + 0.2, b));
    // What the next block spans, half its spacing here (8^(15 - b)) and a bit, stays below it.
    const double spacing = std::pow(8.0, 15 - b);
    for (int i = 1; b < 15 && i <= 3; ++i)
      entities.push_back(insert(floor_plan::kLayer0, "B" + std::to_string(b + 1), i * spacing, 0, 1, 1, 0));
    entities.push_back(line_on(0, 4 * spacing, b, 4 * spacing + 0.2, b));
    blocks.append(floor_plan::block("B" + std::to_string(b), 0, 0, entities));
  }
  // Lines ahead in the model space move where the limit falls.
  for (int ahead = 0; ahead < 3; ++ahead) {
    std::vector<Bytes> model(std::size_t(ahead), line_on(0, -1, 0, -1, 0));
    model.push_back(insert(floor_plan::kLayer0, "B0", 0, 0, 1, 1, 0));
    model.push_back(line_on(0, 1e15, 0, 1e15, 0));
    KT_Drawing d;
    const auto bytes = drawing_of(model, blocks);
    ASSERT_TRUE(load_torv_buffer(-1, bytes.data(), bytes.size(), d));
    EXPECT_EQ(expect_walk_is_the_sum(d, {}, "ahead " + std::to_string(ahead)), kttrv::view::kMaxVisits);
    EXPECT_LT(kttrv::view::model_space_extents(d).max.x, 1e15);  // the line after the limit is left out
  }
}

// Walked backwards from where a forward walk stopped, the walk makes the
// forward walk's visits in the opposite order, each with its placement and
// its inserts: over blocks nested four deep, a block that inserts itself,
// an insert of no block and drawables left out, cut by budgets that stop
// it before its first visit, inside nested inserts, on an insert, and never.
TEST_F(DrawingTest, BackwardWalkTurnsTheForwardWalkRound) {
  Bytes blocks = Bytes().u32(4);
  for (int b = 0; b < 4; ++b) {
    std::vector<Bytes> entities = {line_on(b % 2, b, 0, b, 1)};
    if (b < 3) entities.push_back(insert(floor_plan::kLayer0, "B" + std::to_string(b + 1), 1, 2, 2, 1, 30));
    entities.push_back(insert(floor_plan::kWalls, "B" + std::to_string(b), 0, 0, 1, 1, 0));  // itself
    entities.push_back(point_on(1, b, b));
    if (b == 1) entities.push_back(insert(floor_plan::kLayer0, "NONE", 0, 0, 1, 1, 0));
    if (b < 3) entities.push_back(insert(floor_plan::kWalls, "B" + std::to_string(b + 1), -1, 0, 1, 3, 90));
    blocks.append(floor_plan::block("B" + std::to_string(b), 0, 0, entities));
  }
  std::vector<Bytes> model;
  for (int i = 0; i < 5; ++i) {
    model.push_back(line_on(i % 2, i, i, i + 1, i));
    model.push_back(insert(floor_plan::kLayer0, "B" + std::to_string(i % 4), i, 0, 1, 1, 10.0 * i));
  }
  KT_Drawing d;
  const auto bytes = drawing_of(model, blocks);
  ASSERT_TRUE(load_torv_buffer(-1, bytes.data(), bytes.size(), d));
  struct Visit {
    const KT_Drawable* d;
    double x0, y0;
    std::vector<const KT_Insert_Entity*> inserts;
    bool operator==(const Visit&) const = default;
  };
  for (const bool all_shown : {true, false}) {
    kttrv::view::WalkOptions options;
    if (!all_shown) options.shown = [](const KT_Drawable& e) { return e.layer == 0; };
    std::vector<const KT_Insert_Entity*> inserts;
    options.inserts = &inserts;
    long total = 0;
    for (long long budget = 0; budget == 0 || budget <= 2 * total + 2; budget += budget < 40 ? 1 : 7) {
      // Each visit charges 1, an insert 2 more: the budget falls anywhere.
      long long charged = 0;
      options.budget = budget;
      options.charged = &charged;
      std::vector<std::size_t> stopped_at;
      options.stopped_at = &stopped_at;
      std::vector<Visit> forward, backward;
      const bool whole = kttrv::view::walk_model_space(d, options, [&](const KT_Drawable& e, const kttrv::view::Placement& p) {
        forward.push_back({&e, p.x0, p.y0, inserts});
        charged += e.kind == KT_Drawable_Kind::insert ? 3 : 1;
      });
      if (budget == 0) total = static_cast<long>(forward.size());
      EXPECT_EQ(whole, stopped_at.empty()) << budget;
      ASSERT_TRUE(inserts.empty());
      kttrv::view::walk_model_space_backwards(d, options, &stopped_at,
                                              [&](const KT_Drawable& e, const kttrv::view::Placement& p) {
                                                backward.push_back({&e, p.x0, p.y0, inserts});
                                              });
      std::reverse(backward.begin(), backward.end());
      ASSERT_EQ(backward, forward) << "budget " << budget << (all_shown ? "" : ", layer 0 only");
    }
    EXPECT_GT(total, 20);
  }
}

// The remainder the arcs use is std::fmod's to the bit, at the edges of its
// shortcuts (one and two turns, signed zeros) and on random angles.
TEST(RemainderOfTurnsTest, IsFmodToTheBit) {
  const double turn = 2 * std::numbers::pi;
  std::vector<double> xs = {0.0, -0.0, turn, -turn, 2 * turn, -2 * turn, 3 * turn, 1e300, -1e-300,
                            std::numeric_limits<double>::infinity(), std::nan("")};
  for (double edge : {turn, 2 * turn, -turn, -2 * turn}) {
    xs.push_back(std::nextafter(edge, 2 * edge));  // just beyond
    for (double x = edge; std::fabs(edge - x) < 1e-14; x = std::nextafter(x, 0.0)) xs.push_back(x);  // at and below
  }
  std::mt19937_64 rng(16);
  for (int i = 0; i < 100000; ++i) xs.push_back(std::uniform_real_distribution<double>(-4 * turn, 4 * turn)(rng));
  for (double x : xs)
    ASSERT_EQ(std::bit_cast<uint64_t>(kttrv::view::remainder_of_turns(x)), std::bit_cast<uint64_t>(std::fmod(x, turn))) << x;
}

// trv itself, as a user runs it.
struct TrvRun {
  int status;
  std::string out;
};

TrvRun trv(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(TRV_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return {-1, ""};
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::map<std::string, long> kinds_in(const json& list, std::map<std::string, long> into = {}) {
  for (const json& d : list)
    if (!d.contains("passed")) ++into[d["kind"].get<std::string>()];
  return into;
}

// The elements of a dump's entity lists that are records which made nothing.
long passed_in(const json& list) {
  return static_cast<long>(std::count_if(list.begin(), list.end(), [](const json& d) { return d.contains("passed"); }));
}

class TrvCommandTest : public DrawingTest {};

// Every example, the seed drawings of the fuzz targets, and the test drawings
// of every generation, whole and cut.
TEST_F(TrvCommandTest, InfoCountsEqualWhatDumpHolds) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR))
    if (entry.path().extension() == ".trv") files.push_back(entry.path().string());
  ASSERT_GE(files.size(), 7u);
  for (const char* corpus : {"fuzz_load_document", "fuzz_legacy"})
    for (const auto& entry : fs::directory_iterator(fs::path(CORPUS_DIR) / corpus)) files.push_back(entry.path().string());
  for (const char* v : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"})
    files.push_back(temp_file(sample::full_drawing(v).build(), std::string("sample ") + v + ".trv"));
  const auto plan = floor_plan::drawing().build();
  for (std::size_t cut : {plan.size() - 1, plan.size() - 300, plan.size() / 2})
    files.push_back(temp_file({plan.begin(), plan.begin() + static_cast<std::ptrdiff_t>(cut)}, "cut" + std::to_string(cut) + ".trv"));

  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const TrvRun info = trv("info --json '" + file + "'");
    const TrvRun dump = trv("dump '" + file + "'");
    // Files that do not load fail both commands alike.
    ASSERT_EQ(info.status, dump.status);
    if (info.status != 0) continue;
    const json i = json::parse(info.out);
    const json d = json::parse(dump.out);
    EXPECT_EQ(i["version"], d["version"]);
    EXPECT_EQ(i["generation"], d["generation"]);
    for (const char* table : {"layers", "text_styles", "dim_styles", "line_types", "blocks"})
      EXPECT_EQ(i[table].get<std::size_t>(), d[table].size()) << table;
    std::map<std::string, long> in_blocks;
    for (const json& b : d["blocks"]) in_blocks = kinds_in(b["entities"], std::move(in_blocks));
    EXPECT_EQ(i["drawables"]["model_space"].get<decltype(in_blocks)>(), kinds_in(d["model_space"]));
    EXPECT_EQ(i["drawables"]["blocks"].get<decltype(in_blocks)>(), in_blocks);
    // Every drawable came from exactly one record the entity streams created.
    long created = 0;
    for (const auto& [kind, t] : i["entity_records"]["by_kind"].items()) {
      created += t["created"].get<long>();
      EXPECT_EQ(t["read"].get<long>(), t["created"].get<long>() + t["passed_over"].get<long>() + t["cut"].get<long>());
    }
    long drawables = static_cast<long>(d["model_space"].size()) - passed_in(d["model_space"]);
    for (const auto& [kind, n] : in_blocks) drawables += n;
    EXPECT_EQ(created, drawables);
    // The records that made nothing are listed in their place, as many as
    // info counts; each is one a stream passed over or that was cut.
    long passed = passed_in(d["model_space"]);
    for (const json& b : d["blocks"]) passed += passed_in(b["entities"]);
    EXPECT_EQ(i["carried"]["passed_records"].get<long>(), passed);
    const auto kind_passed = [&](long kind) {
      const json& by_kind = i["entity_records"]["by_kind"];
      const std::string key = kind >= 0 && kind < 128 ? std::to_string(kind) : "other";
      return by_kind.contains(key) && by_kind[key]["passed_over"].get<long>() + by_kind[key]["cut"].get<long>() > 0;
    };
    for (const json& e : d["model_space"]) {
      if (e.contains("passed")) {
        EXPECT_TRUE(kind_passed(e["passed"]["kind"].get<long>())) << e;
      }
    }
  }
}

TEST_F(TrvCommandTest, FloorPlanExtentsAreTheHandComputedOnes) {
  // Left dimension line at x = -1, title block 5 wide at x = 12.5, its
  // insertion at y = -2, top dimension line at y = 9.
  const json i = json::parse(trv("info --json " EXAMPLES_DIR "/floor-plan.trv").out);
  EXPECT_EQ(i["extents"], json::parse(R"({"min":[-1.0,-2.0,0.0],"max":[17.5,9.0,0.0]})"));
  EXPECT_TRUE(i["extents_complete"].get<bool>());
  EXPECT_TRUE(i["complete"].get<bool>());
}

// Every prefix of the floor plan cuts into a section the loader reads (they
// lie end to end up to the end of the file): check exits 1 on each, 0 on
// the whole file.
TEST_F(TrvCommandTest, CheckFindsEveryCut) {
  const auto plan = floor_plan::drawing().build();
  EXPECT_EQ(trv("check " + temp_file(plan, "whole.trv")).status, 0);
  std::vector<std::size_t> cuts = {0, 1, 87, 88, 89, plan.size() - 1, plan.size() - 2};
  for (std::size_t i = 1; i < 40; ++i) cuts.push_back(88 + (plan.size() - 88) * i / 40);
  for (TorvSlot slot : {kSlotLayers, kSlotTextStyles, kSlotDimStyles, kSlotBlocks, kSlotEntities}) {
    const auto at = static_cast<std::size_t>(int32_at(plan, static_cast<std::size_t>(slot)));
    for (std::size_t near : {at - 1, at, at + 1, at + 4, at + 5}) cuts.push_back(near);
  }
  for (std::size_t cut : cuts) {
    const std::string path = temp_file({plan.begin(), plan.begin() + static_cast<std::ptrdiff_t>(cut)}, "cut.trv");
    const TrvRun r = trv("check " + path);
    EXPECT_EQ(r.status, 1) << "cut at " << cut << ": " << r.out;
  }
}

}  // namespace
