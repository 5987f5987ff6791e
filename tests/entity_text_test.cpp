#include <gtest/gtest.h>

#include <optional>

#include "host/zirida_host.h"
#include "tests/support/entity_fixture.h"

using nlohmann::json;

namespace {

double radians(double degrees) { return degrees * 3.141592653589793 * 0.005555555555555556; }

// Kind 7's 94 bytes: insertion (10, 20), height 2.5, rotation and width
// factor as given, with the presence fields of the two strings.
Bytes text_payload(int has_text, int has_style, double rotation = 30, double width = 1) {
  return Bytes()
      .pt3(10, 20, 9)
      .f64(2.5)
      .i32(has_text)
      .f64(rotation)
      .f64(width)
      .f64(77)
      .i32(has_style)
      .zeros(6)
      .pt3(5, 6, 7);
}

// Kind 11's 106 bytes; the presence fields lie in the order 1, 3, 2, then 4.
Bytes four_string_payload(bool s1, bool s2, bool s3, bool s4) {
  return Bytes()
      .pt3(10, 20, 9)
      .f64(2.5)
      .i32(s1)
      .i32(s3)
      .i32(s2)
      .i32(1)
      .f64(30)
      .f64(1)
      .f64(77)
      .i32(s4)
      .zeros(6)
      .pt3(5, 6, 7);
}

// Kind 8's 60 bytes.
Bytes named_payload(int has_name) { return Bytes().zeros(32).i32(has_name).zeros(24); }

// The expected api_kt_create_text line (without its id).
json text_call(std::optional<std::string> text, std::optional<std::string> style, double x,
               double width, double rotation_radians) {
  auto str = [](const std::optional<std::string>& s) { return s ? json(*s) : json(nullptr); };
  return {{"op", "api_kt_create_text"},
          {"args", json::array({str(text), str(style), json::array({x, 20, 0}), 2.5, width,
                                rotation_radians})}};
}

class TextRecords : public EntityTest {};

TEST_F(TextRecords, KernelCallsStringsAndMirroring) {
  const json plain = text_call("abc", "STD", 10, 1, radians(30));
  struct Case {
    const char* name;
    Bytes record;
    std::optional<json> created;  // none: the record creates nothing
  } cases[] = {
      {"text and style", entity(7, PropsBlock(), text_payload(1, 1).str("abc").str("STD")), plain},
      {"mirrored", entity(7, PropsBlock().mirrored(), text_payload(1, 1).str("abc").str("STD")),
       text_call("abc", "STD", -10, -1, radians(330))},
      {"mirrored rotation 0, width 0.5",
       entity(7, PropsBlock().extrusion({}, {}, -1.0), text_payload(1, 0, 0, 0.5).str("x")),
       text_call("x", {}, -10, -0.5, radians(360))},
      {"z -0.999 does not mirror",
       entity(7, PropsBlock().extrusion(0.0, 0.0, -0.999), text_payload(1, 1).str("abc").str("STD")),
       plain},
      {"no style name", entity(7, PropsBlock(), text_payload(1, 0).str("abc")),
       text_call("abc", {}, 10, 1, radians(30))},
      {"tab is visible", entity(7, PropsBlock(), text_payload(1, 0).str("\t")),
       text_call("\t", {}, 10, 1, radians(30))},
      {"spaces only", entity(7, PropsBlock(), text_payload(1, 1).str("   ").str("STD")), {}},
      {"no text, style follows", entity(7, PropsBlock(), text_payload(0, 1).str("STD")), {}},
      {"empty text", entity(7, PropsBlock(), text_payload(1, 1).str("").str("STD")), {}},
      {"text up to a zero byte", entity(7, PropsBlock(), text_payload(1, 1).str(std::string_view("abc\0 d", 6)).str("STD")),
       plain},
      // The kernel sees the text up to its first zero byte: here, one space.
      {"blank up to a zero byte",
       entity(7, PropsBlock(), text_payload(1, 0).str(std::string_view(" \0x", 3))), {}},
      {"length -1 is empty", entity(7, PropsBlock(), text_payload(1, 1).i16(-1).str("STD")), {}},
      {"four strings",
       entity(11, PropsBlock(),
              four_string_payload(true, true, true, true).str("one").str("two").str("three").str("four")),
       text_call("two", "four", 10, 1, radians(30))},
      {"four-string, only 1 and 3",
       entity(11, PropsBlock(), four_string_payload(true, false, true, false).str("one").str("three")),
       text_call({}, {}, 10, 1, radians(30))},
      {"four-string, blank text is not tested",
       entity(11, PropsBlock(), four_string_payload(false, true, false, false).str("  ")),
       text_call("  ", {}, 10, 1, radians(30))},
      {"four-string mirrored",
       entity(11, PropsBlock().mirrored(), four_string_payload(false, true, false, true).str("t").str("S")),
       text_call("t", "S", -10, -1, radians(330))},
      {"named record", entity(8, PropsBlock().color(1), named_payload(1).str("NAMED")), {}},
      {"named record, no name", entity(8, PropsBlock(), named_payload(0)), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    trace.clear();
    load_entities(2, Bytes(c.record).append(sentinel()));
    EXPECT_TRUE(sentinel_read());  // the record was consumed to its last byte
    if (!c.created) {
      EXPECT_EQ(trace.size(), 3u);
      continue;
    }
    ASSERT_EQ(trace.size(), 6u);
    json created = ops()[0];
    const json id = created["id"];
    created.erase("id");
    EXPECT_EQ(created, *c.created);
    EXPECT_EQ(ops()[1]["op"], "api_kt_get_color_byindex");
    EXPECT_EQ(ops()[1]["args"], json::array({-1, 0}));
    EXPECT_EQ(ops()[2]["op"], "api_set_drawable_prop");
    EXPECT_EQ(ops()[2]["args"][0], id);
  }
  EXPECT_NEAR(radians(330), 5.7596, 1e-4);
}

TEST_F(TextRecords, StringsBeyondTheirFixedCopiesStayWhole) {
  const std::string long_text(3000, 'W');
  load_entities(2, entity(7, PropsBlock(), text_payload(1, 1).str(long_text).str(std::string(200, 'S')))
                       .append(sentinel()));
  ASSERT_EQ(ops("api_kt_create_text").size(), 1u);
  EXPECT_EQ(ops("api_kt_create_text")[0]["args"][0], long_text);
  EXPECT_EQ(ops("api_kt_create_text")[0]["args"][1], std::string(200, 'S'));
  EXPECT_TRUE(sentinel_read());
}

TEST_F(TextRecords, FourStringTextIsCreatedInTheModelSpaceOnly) {
  const Bytes record =
      entity(11, PropsBlock(), four_string_payload(true, true, true, true).str("1").str("2").str("3").str("4"));
  for (int block_index : {0, 7, -2, -1}) {
    SCOPED_TRACE(block_index);
    trace.clear();
    const Bytes stream = Bytes(record).append(sentinel());
    EXPECT_EQ(run_stream(stream, 2, block_index), static_cast<int32_t>(stream.size()));
    EXPECT_EQ(ops("api_kt_create_text").size(), block_index == -1 ? 1u : 0u);
    EXPECT_TRUE(sentinel_read());
  }
  // Kind 7 does not look at the stream's owner.
  trace.clear();
  run_stream(entity(7, PropsBlock(), text_payload(1, 0).str("a")), 1, 3);
  EXPECT_EQ(ops("api_kt_create_text").size(), 1u);
}

TEST_F(TextRecords, RefusedTextGetsNoPropertiesAndItsStringsAreConsumed) {
  zirida_refuse(KT_Op::create_text, true);
  load_entities(3, entity(7, PropsBlock().color(2), text_payload(1, 1).str("abc").str("STD"))
                       .append(entity(11, PropsBlock(), four_string_payload(true, true, true, true)
                                                            .str("1").str("2").str("3").str("4")))
                       .append(sentinel()));
  EXPECT_EQ(op_names(), (std::vector<std::string>{"api_kt_create_text", "api_kt_create_text",
                                                  "api_kt_create_line", "api_kt_get_color_byindex",
                                                  "api_set_drawable_prop"}));
  EXPECT_EQ(ops()[0]["id"], nullptr);
  EXPECT_TRUE(sentinel_read());
}

}  // namespace
