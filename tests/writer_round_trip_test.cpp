// What the writer puts in the layer and text style tables, and that the
// loader reads every written file back cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "format/color_palette.h"
#include "kernel/collections.h"
#include "format/diagnostics.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "save/stored_reals.h"
#include "save/save_document.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"
#include "tests/support/bytes.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/written_file.h"

namespace {

long palette(int number) { return static_cast<long>(color_palette[static_cast<std::size_t>(number)]); }

void add_layer(const char* name, long color, int line_type, bool on, bool flag2, bool flag3) {
  KT_Layer* l = nullptr;
  api_kt_create_layer(l, name, color, line_type, on, flag2, flag3);
}

// A style as the loader leaves it: font names already bare and lower-case,
// fourth real and last 0, the mark set when flag bit 4 is.
void add_style(const char* name, const char* font, const char* big_font, double r1, double r2,
               double oblique, int flags) {
  KT_Text_Style* s = nullptr;
  api_kt_create_text_style(s, name, font, big_font, r1, r2, oblique, 0.0, flags, 0);
  if (s != nullptr && (flags & 4) != 0) api_kt_set_text_style_mark(s, 256);
}

// The section behind the tag that directory slot `slot` points at.
std::vector<unsigned char> section(const std::vector<unsigned char>& file, int slot, std::size_t n) {
  return bytes_at(file, static_cast<std::size_t>(int32_at(file, static_cast<std::size_t>(slot))), n);
}

TEST(LayerColourNumber, LowestPaletteNumberOfTheValueSignedByOnOff) {
  struct Case {
    long color;
    bool on;
    int16_t expected;
  } cases[] = {
      {palette(3), true, 3},
      {palette(3), false, -3},
      {palette(10), true, 1},     // the same value as colour 1: the lower number wins
      {palette(255), true, 253},  // the same grey as 253
      {0x000000, true, 7},        // black: colour 0 is not a layer colour, 7 is black too
      {0x123456, true, 7},        // no palette entry: 7
      {0x123456, false, -7},
      {-1, true, 7},
  };
  for (const Case& c : cases) {
    KT_Layer layer;
    layer.color = c.color;
    layer.on = c.on;
    EXPECT_EQ(layer_colour_number(layer), c.expected) << std::hex << c.color << " on " << c.on;
  }
  // Over the whole palette: the number written is the lowest that maps to
  // the value, so it loads back as the same colour.
  for (int16_t i = 1; i < 256; ++i) {
    KT_Layer layer;
    layer.color = palette(i);
    const int16_t written = layer_colour_number(layer);
    EXPECT_EQ(palette(written), palette(i)) << i;
    for (int16_t lower = 1; lower < written; ++lower) EXPECT_NE(palette(lower), palette(i)) << i;
  }
}

class TableRecords : public DrawingTest {};

TEST_F(TableRecords, LayersOfTheDrawing) {
  add_layer("Walls", palette(3), 3, false, true, true);
  add_layer("Doors", 0x123456, 0, true, false, true);
  add_layer(nullptr, palette(1), 65535, true, true, false);
  Bytes expected;
  expected.i32(3);
  expected.i32(1).u8(5).u8(0).i16(-3).u16(3).zeros(2).str("Walls");
  expected.i32(1).u8(1).u8(0).i16(7).u16(0).zeros(2).str("Doors");
  expected.i32(1).u8(4).u8(0).i16(1).u16(65535).zeros(2).str("");
  const auto file = written_bytes(drawing);
  EXPECT_EQ(section(file, 52, expected.size()), expected.data());
  EXPECT_EQ(text_at(file, static_cast<std::size_t>(int32_at(file, 52)) + expected.size(), 9), "#RM_VievT");
}

TEST_F(TableRecords, TextStylesOfTheDrawing) {
  add_style("Title", "arial.ttf", ".shx", 2.5, 0.8, loaded_radians(15.0), 4 | 256);
  add_style("Plain", "txt.shx", "", 0.0, 1.0, 0.0, 0);
  add_style("Bare", "", "", 0.0, 0.0, 0.0, 0);
  Bytes expected;
  expected.i32(3);
  // flags keep their low byte; a TrueType font is followed by an empty trailer
  expected.i32(1).u8(4).u8(0).zeros(8).f64(0.8).f64(15.0).zeros(2).f64(2.5).i32(1).i32(1).zeros(8);
  expected.str("Title").str("arial.ttf").str(".shx").str("");
  // an empty name (the kernel's default) is written as what it loads as
  expected.i32(1).u8(0).u8(0).zeros(8).f64(1.0).f64(0.0).zeros(2).f64(0.0).i32(1).i32(1).zeros(8);
  expected.str("Plain").str("txt.shx").str(".shx");
  expected.i32(1).u8(0).u8(0).zeros(8).f64(0.0).f64(0.0).zeros(2).f64(0.0).i32(1).i32(1).zeros(8);
  expected.str("Bare").str(".shx").str(".shx");
  const auto file = written_bytes(drawing);
  EXPECT_EQ(section(file, 56, expected.size()), expected.data());
  EXPECT_EQ(text_at(file, static_cast<std::size_t>(int32_at(file, 56)) + expected.size(), 9), "#RM_LayeR");
}

TEST_F(TableRecords, DefaultTextStyleWithoutStyles) {
  Bytes expected;
  expected.i32(1).i32(1).zeros(36).i32(1).i32(1).zeros(8).str("STANDARD").str(".shx").str(".shx");
  EXPECT_EQ(section(written_bytes(drawing), 56, expected.size()), expected.data());
}

// Font file names are written whole and the trailer is decided on the whole
// name, as the loader decides it; only what an int16 cannot count is cut.
void expect_font_file_written_whole(const KT_Drawing& drawing, std::size_t length) {
  const std::string font = std::string(length - 4, 'f') + ".ttf";
  add_style("Long", font.c_str(), "", 0.0, 0.0, 0.0, 0);
  const auto file = written_bytes(drawing);
  const auto at = static_cast<std::size_t>(int32_at(file, 56)) + 4 + 56 + 2 + 4;
  const std::size_t written = std::min<std::size_t>(length, kLongestCountedString);
  EXPECT_EQ(static_cast<std::size_t>(int32_at(file, at) & 0xFFFF), written);
  // A trailer only behind a name that still ends in ".ttf"; then the empty
  // big-font name, written as ".shx".
  const std::size_t next = at + 2 + written + (written == length ? 2 : 0) + 6;
  EXPECT_EQ(text_at(file, next, 9), "#RM_LayeR");
}

TEST_F(TableRecords, LongFontFileIsWrittenWhole) { expect_font_file_written_whole(drawing, 134); }

TEST_F(TableRecords, FontFileBeyondAnInt16IsCutWithoutATrailer) {
  expect_font_file_written_whole(drawing, 40000);
}

TEST(ObliqueAngle, DegreesTheLoaderTurnsBackIntoTheSameRadians) {
  for (double degrees : {0.0, 15.0, -7.5, 180.0, 45.25, 89.999}) {
    const double radians = loaded_radians(degrees);
    EXPECT_EQ(oblique_degrees(radians), degrees);
  }
  for (double radians : {0.3, -1.0, 1e-300, 3.0e300}) {
    const double back = loaded_radians(oblique_degrees(radians));
    EXPECT_LE(std::fabs(back - radians), std::fabs(std::nextafter(radians, 0.0) - radians)) << radians;
  }
  EXPECT_TRUE(std::isnan(oblique_degrees(std::nan(""))));
}

// Every drawing the writer is given comes back as a file the loader reads to
// the end: result true, generation 11, no section stopping early.
class WrittenFileLoadsBack : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    KtTrvSetDiagnosticSink(collect, &diagnostics);
  }
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }
  static void collect(const char* message, void* context) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(message);
  }

  // Builds `into` through the kernel, then makes `drawing` current again.
  void build(KT_Drawing& into, const std::function<void()>& fill) {
    g_current_drawing = &into;
    fill();
    g_current_drawing = &drawing;
  }

  // Loads bytes into a drawing of their own.
  bool load_into(KT_Drawing& target, const std::vector<unsigned char>& bytes, int mode) {
    read_sysvar_list(sysvar_list_path());
    return load_torv_buffer(mode, bytes.data(), bytes.size(), target);
  }

  std::vector<std::string> diagnostics;
};

TEST_F(WrittenFileLoadsBack, EveryKindOfDrawing) {
  const long longs[KT_Dim_Style::kLongs] = {};
  const short shorts[KT_Dim_Style::kShorts] = {};
  const double reals[KT_Dim_Style::kReals] = {};
  const std::string long_name(200, 'n');
  const std::string long_font = std::string(130, 'f') + ".ttf";
  struct Case {
    const char* what;
    std::function<void(KT_Drawing&)> fill;
  } cases[] = {
      {"empty", [](KT_Drawing&) {}},
      {"line types", [](KT_Drawing& d) { kt_append_line_type(d); }},
      {"layers",
       [&](KT_Drawing&) {
         add_layer("0", palette(7), 1, true, false, false);
         add_layer("Off", palette(200), 2, false, true, true);
         add_layer(long_name.c_str(), 0x123456, 0, true, false, false);
       }},
      {"text styles",
       [&](KT_Drawing&) {
         add_style("Title", "arial.ttf", ".shx", 2.5, 0.8, 0.3, 4);
         add_style("Cjk", "simsun.ttc", "big.shx", 1.0, 1.0, 0.0, 0);
         add_style(long_name.c_str(), long_font.c_str(), long_font.c_str(), 0.0, 0.0, 0.0, 255);
       }},
      {"dimension styles", [&](KT_Drawing&) { api_kt_create_dim_style("D", "", longs, shorts, reals); }},
      {"blocks", [](KT_Drawing& d) { kt_append_block(d); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KT_Drawing source;
    build(source, [&] { c.fill(source); });
    const auto file = written_bytes(source);
    for (int mode : {-1, 0}) {
      KT_Drawing loaded;
      diagnostics.clear();
      g_trv_ver = -1;
      EXPECT_TRUE(load_into(loaded, file, mode)) << "mode " << mode;
      EXPECT_EQ(g_trv_ver, 11);
      EXPECT_EQ(diagnostics, std::vector<std::string>{});
      EXPECT_EQ(count_of(loaded.blocks), count_of(source.blocks));
      EXPECT_EQ(count_of(loaded.dim_styles), count_of(source.dim_styles));
      EXPECT_EQ(loaded.model_space.first, nullptr);
    }
  }
}

TEST_F(WrittenFileLoadsBack, ThroughTheFileEntryPoints) {
  KT_Drawing source;
  build(source, [] { add_layer("A", palette(5), 1, true, false, false); });
  g_current_drawing = &source;
  std::string path = (dir / "saved.trv").string();
  ASSERT_TRUE(api_kt_save_trv(path.data()));
  g_trv_ver = -1;
  CString cpath(path.c_str());
  KT_Drawing* target = &drawing;
  EXPECT_TRUE(LoadTORVDocument(-1, cpath, target));
  EXPECT_EQ(g_trv_ver, 11);
  EXPECT_EQ(diagnostics, std::vector<std::string>{});
}

// A saved drawing keeps its layers and text styles: loaded again it has the
// same ones, and written again it gives the same bytes.
// Disabled until the layer and text style table readers are in.
TEST_F(WrittenFileLoadsBack, LayersAndTextStylesSurviveSaveAndLoad) {
  KT_Drawing source;
  build(source, [] {
    add_layer("0", palette(7), 1, true, false, false);
    add_layer("Walls", palette(3), 2, false, true, false);
    add_layer("Doors", palette(250), 65535, true, false, true);
    add_layer("", palette(1), 0, true, true, true);
    add_style("STANDARD", "txt.shx", ".shx", 0.0, 1.0, 0.0, 0);
    add_style("Title", "arial.ttf", "big.shx", 2.5, 0.8, loaded_radians(15.0), 4);
    add_style("Slanted", "romans.shx", ".shx", 0.0, 1.0, 0.3, 1 | 2);
  });
  const auto file = written_bytes(source);
  ASSERT_TRUE(load(file));

  ASSERT_EQ(count_of(drawing.layers), count_of(source.layers));
  for (const KT_Object *a = source.layers.first, *b = drawing.layers.first; a && b; a = a->next, b = b->next) {
    const auto& x = static_cast<const KT_Layer&>(*a);
    const auto& y = static_cast<const KT_Layer&>(*b);
    SCOPED_TRACE(x.name);
    EXPECT_STREQ(y.name, x.name);
    EXPECT_EQ(y.color, x.color);
    EXPECT_EQ(y.line_type, x.line_type);
    EXPECT_EQ(y.on, x.on);
    EXPECT_EQ(y.flag2, x.flag2);
    EXPECT_EQ(y.flag3, x.flag3);
  }
  ASSERT_EQ(count_of(drawing.text_styles), count_of(source.text_styles));
  for (const KT_Object *a = source.text_styles.first, *b = drawing.text_styles.first; a && b;
       a = a->next, b = b->next) {
    const auto& x = static_cast<const KT_Text_Style&>(*a);
    const auto& y = static_cast<const KT_Text_Style&>(*b);
    SCOPED_TRACE(x.name);
    EXPECT_STREQ(y.name, x.name);
    EXPECT_STREQ(y.font_file, x.font_file);
    EXPECT_STREQ(y.big_font_file, x.big_font_file);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(y.reals[i], x.reals[i]) << "real " << i;
    EXPECT_EQ(y.flags, x.flags);
    EXPECT_EQ(y.last, x.last);
    EXPECT_EQ(y.mark, x.mark);
  }
  EXPECT_EQ(written_bytes(drawing), file);
}

}  // namespace
