#include <gtest/gtest.h>

#include <string_view>

#include <cstring>
#include <optional>
#include <string>

#include "kttrv/kttrv.h"
#include "host/zirida_host.h"
#include "format/diagnostics.h"
#include "format/font_file_names.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/torv_builder.h"

namespace {

TEST(FontFileNames, NormalisedToLowerCaseBaseNameAndExtension) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"C:\\Windows\\Fonts\\ARIAL.TTF", "arial.ttf"},
      {"msgothic.ttc", "msgothic.ttf"},
      {"txt.shx", "txt.shx"},
      {"fonts/Simplex.SHX", "simplex.shx"},
      {"romans", "romans.shx"},
      {"", ".shx"},
      {"font.otf", "font.shx"},
      {"d:big.font.TTF", "big.font.ttf"},
      {"dir.v2/plain", "plain.shx"},
      {"\xC4Z.ttf", "\xC4z.ttf"},  // bytes beyond A to Z stay
      {std::string(140, 'a') + ".TTF", std::string(140, 'a') + ".ttf"},  // nothing is cut
      {"c:/" + std::string(130, 'd') + "/x.ttc", "x.ttf"},
  };
  for (const Case& c : cases) {
    std::string name = c.in;
    normalize_font_file(name);
    EXPECT_EQ(name, c.out) << c.in;
  }
}

// A text style record of 52 or 56 bytes (unread bytes filled) and its strings.
struct Style {
  std::optional<std::string> name = "S";
  int flags = 0;
  double real14 = 2.0, oblique = 0.0, real32 = 1.5;
  std::optional<std::string> font, big_font, trailer;

  Bytes bytes(int size) const {
    Bytes b;
    b.i32(name ? 1 : 0).u8(flags).raw(std::string(9, '\xEE')).f64(real14).f64(oblique);
    b.raw("\xEE\xEE").f64(real32).i32(font ? 1 : 0).i32(big_font ? 1 : 0);
    b.raw(std::string(static_cast<std::size_t>(size - 48), '\xEE'));
    if (name) b.str(*name);
    if (font) b.str(*font);
    if (big_font) b.str(*big_font);
    if (trailer) b.str(*trailer);
    return b;
  }
};

class TextStyleTable : public DrawingTest {
 protected:
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }
  bool load_styles(const std::vector<Style>& styles, const char* version = "TORV 2000", int size = 56) {
    Bytes t;
    t.u32(static_cast<uint32_t>(styles.size()));
    for (const Style& s : styles) t.append(s.bytes(size));
    return load(TorvFile(version).section(kSlotTextStyles, t).build());
  }
};

TEST_F(TextStyleTable, ArgumentsInOrder) {
  Style s;
  s.name = "STANDARD";
  s.flags = 0xFB;  // bit 4 clear
  s.real14 = 0.75;
  s.oblique = 180.0;
  s.real32 = 2.5;
  s.font = "Fonts\\TXT.SHX";
  ASSERT_TRUE(load_styles({s}));
  ASSERT_EQ(trace.size(), 1u);
  const auto op = ops()[0];
  EXPECT_EQ(op["op"], "api_kt_create_text_style");
  EXPECT_EQ(op["args"][0], "STANDARD");
  EXPECT_EQ(op["args"][1], "txt.shx");
  EXPECT_EQ(op["args"][2], ".shx");  // no big-font file
  EXPECT_EQ(op["args"][3], 2.5);
  EXPECT_EQ(op["args"][4], 0.75);
  EXPECT_DOUBLE_EQ(op["args"][5].get<double>(), 3.141592653589793);
  EXPECT_EQ(op["args"][6], 0.0);
  EXPECT_EQ(op["args"][7], 0xFB);
  EXPECT_EQ(op["args"][8], 0);
}

TEST_F(TextStyleTable, RecordSizeFollowsTheGeneration) {
  Style a, b;
  a.name = "FIRST";
  b.name = "SECOND";
  b.real32 = 4.0;
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"}) {
    trace.clear();
    const int size = std::string(version) == "TORV 2000" || std::string(version) == "HALD 2002" ? 56 : 52;
    ASSERT_TRUE(load_styles({a, b}, version, size)) << version;
    const auto styles = ops("api_kt_create_text_style");
    ASSERT_EQ(styles.size(), 2u) << version;
    EXPECT_EQ(styles[1]["args"][0], "SECOND") << version;
    EXPECT_EQ(styles[1]["args"][3], 4.0) << version;
  }
  // 56-byte records read as 52: the strings and every later record are
  // taken from the wrong bytes.
  trace.clear();
  ASSERT_TRUE(load_styles({a, b}, "TORV 99", 56));
  for (const auto& style : ops("api_kt_create_text_style")) {
    EXPECT_NE(style["args"][0], "FIRST");
    EXPECT_NE(style["args"][0], "SECOND");
  }
}

TEST_F(TextStyleTable, TrueTypeFontsCarryATrailerString) {
  Style ttf, ttc, shx, after;
  ttf.font = "C:\\Fonts\\ARIAL.TTF";
  ttf.big_font = "BIG.shx";
  ttf.trailer = "Arial Regular";
  ttc.font = "gothic.ttc";
  ttc.trailer = "";
  shx.font = "simplex.shx";
  shx.big_font = "bigfont";
  after.name = "AFTER";
  ASSERT_TRUE(load_styles({ttf, ttc, shx, after}));
  const auto styles = ops("api_kt_create_text_style");
  ASSERT_EQ(styles.size(), 4u);
  EXPECT_EQ(styles[0]["args"][1], "arial.ttf");
  EXPECT_EQ(styles[0]["args"][2], "big.shx");
  EXPECT_EQ(styles[1]["args"][1], "gothic.ttf");
  EXPECT_EQ(styles[2]["args"][1], "simplex.shx");
  EXPECT_EQ(styles[2]["args"][2], "bigfont.shx");
  EXPECT_EQ(styles[3]["args"][0], "AFTER");
}

// Font and big-font paths of any length are judged and normalised whole, so
// the trailer of a long TrueType path is read and the next style stays in
// step.
TEST_F(TextStyleTable, LongFontPathsKeepTheTableInStep) {
  struct Case {
    std::string font, big_font, font_out, big_font_out;
  };
  std::vector<Case> cases;
  for (std::size_t length : {127u, 128u, 140u}) {
    const std::string folder = "C:\\" + std::string(length - 13, 'D') + "\\";  // + "Arial.TTF"
    const std::string base(length - 4, 'b');
    cases.push_back({folder + "Arial.TTF", folder + "BIG.SHX", "arial.ttf", "big.shx"});
    cases.push_back({base + ".ttc", base + ".shx", base + ".ttf", base + ".shx"});
    cases.push_back({"Mono.ttf", folder + "Big.ttf", "mono.ttf", "big.ttf"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.font.size());
    trace.clear();
    Style first, next;
    first.font = c.font;
    first.big_font = c.big_font;
    first.trailer = "Trailer";
    next.name = "NEXT";
    next.flags = 4;
    next.real32 = 4.0;
    next.font = "txt.shx";
    ASSERT_TRUE(load_styles({first, next}));
    const auto styles = ops("api_kt_create_text_style");
    ASSERT_EQ(styles.size(), 2u);
    EXPECT_EQ(styles[0]["args"][1], c.font_out);
    EXPECT_EQ(styles[0]["args"][2], c.big_font_out);
    EXPECT_EQ(styles[1]["args"], nlohmann::json::parse(R"(["NEXT","txt.shx",".shx",4.0,2.0,0.0,0.0,4,0])"));
    EXPECT_EQ(ops("api_kt_set_text_style_mark").size(), 1u);
  }
}

TEST_F(TextStyleTable, FlagFourMarksTheCreatedStyle) {
  Style marked, plain;
  marked.flags = 0x04;
  plain.flags = 0x00;
  ASSERT_TRUE(load_styles({marked, plain}));
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[1], R"({"op":"api_kt_set_text_style_mark","args":[1,256]})");
  EXPECT_EQ(ops()[2]["op"], "api_kt_create_text_style");
  auto* first = static_cast<KT_Text_Style*>(drawing.text_styles.first);
  EXPECT_EQ(first->mark, 256);
  EXPECT_EQ(static_cast<KT_Text_Style*>(first->next)->mark, 0);

  // A style the kernel does not create is not marked.
  trace.clear();
  zirida_refuse(KT_Op::create_text_style, true);
  ASSERT_TRUE(load_styles({marked}));
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(ops()[0]["id"], nullptr);
}

TEST_F(TextStyleTable, AbsentAndShortTables) {
  std::vector<std::string> messages;
  KtTrvSetDiagnosticSink(
        [](const char* m, void* c) {
          if (std::string_view(m).starts_with("text styles:")) static_cast<std::vector<std::string>*>(c)->push_back(m);
        },
                      &messages);
  Bytes one = Bytes().u32(1).append(Style{}.bytes(56));
  EXPECT_TRUE(load(TorvFile().slot(kSlotTextStyles, -1).tail(one).build()));
  EXPECT_TRUE(load(TorvFile().section(kSlotTextStyles, Bytes().u32(0)).build()));
  EXPECT_TRUE(trace.empty());

  // The trailer goes nowhere: a TrueType style whose trailer alone is cut
  // is created, and the table ends behind it.
  Style cut;
  cut.font = "a.ttf";
  Bytes t = Bytes().u32(3).append(Style{}.bytes(56)).append(cut.bytes(56));
  ASSERT_TRUE(load(TorvFile().section(kSlotTextStyles, t).build()));
  const auto styles = ops("api_kt_create_text_style");
  ASSERT_EQ(styles.size(), 2u);
  EXPECT_EQ(styles[1]["args"][1], "a.ttf");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "text styles: record 1 of 3 (56 bytes and strings) cut short by the end of the data at byte " +
                             std::to_string(88 + 4 + 56 + 2 + 1));
}

}  // namespace
