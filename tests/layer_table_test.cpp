#include <gtest/gtest.h>

#include <string_view>

#include "kttrv/kttrv.h"
#include "format/color_palette.h"
#include "format/diagnostics.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/torv_builder.h"

namespace {

class LayerTable : public DrawingTest {
 protected:
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }
  void listen() {
    KtTrvSetDiagnosticSink(
        [](const char* m, void* c) {
          if (std::string_view(m).starts_with("layers:")) static_cast<std::vector<std::string>*>(c)->push_back(m);
        },
                        &messages);
  }
  std::vector<std::string> messages;
};

// A 12-byte layer record (unread bytes filled) and its name.
Bytes layer(int color, int flags, int line_type = 1, const char* name = "L") {
  Bytes b;
  b.i32(name ? 1 : 0).u8(flags).u8(0xEE).i16(color).u16(line_type).u8(0xEE).u8(0xEE);
  if (name) b.str(name);
  return b;
}

Bytes table(uint32_t count, const Bytes& records) { return Bytes().u32(count).append(records); }

long palette(int n) { return static_cast<long>(color_palette[static_cast<std::size_t>(n)]); }

TEST_F(LayerTable, ColourNumbersSignAndRange) {
  struct Case {
    int color;
    int expected_color;
    bool on;
  } cases[] = {
      {3, 3, true},     {-3, 3, false},     {0, 7, true},      {255, 255, true}, {-255, 255, false},
      {1, 1, true},     {256, 7, true},     {-256, 7, false},  {32767, 7, true}, {-32768, 7, false},
  };
  Bytes records;
  for (const Case& c : cases) records.append(layer(c.color, 0));
  ASSERT_TRUE(load(TorvFile().section(kSlotLayers, table(std::size(cases), records)).build()));
  const auto layers = ops("api_kt_create_layer");
  ASSERT_EQ(layers.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(layers[i]["args"][1], palette(cases[i].expected_color)) << cases[i].color;
    EXPECT_EQ(layers[i]["args"][3], cases[i].on) << cases[i].color;
  }
}

TEST_F(LayerTable, ArgumentsInOrder) {
  Bytes records;
  records.append(layer(5, 0x05, 0xFFFF, "WALLS"))
      .append(layer(5, 0x02, 3, nullptr))
      .append(layer(5, 0x04, 0, ""))
      .append(layer(5, 0xF9, 2, "X"));
  ASSERT_TRUE(load(TorvFile().section(kSlotLayers, table(4, records)).build()));
  const auto layers = ops("api_kt_create_layer");
  ASSERT_EQ(layers.size(), 4u);
  using nlohmann::json;
  EXPECT_EQ(layers[0]["args"], json::parse(R"(["WALLS",16711680,65535,true,true,true])"));
  EXPECT_EQ(layers[1]["args"], json::parse(R"(["",16711680,3,true,false,false])"));
  EXPECT_EQ(layers[2]["args"], json::parse(R"(["",16711680,0,true,true,false])"));
  EXPECT_EQ(layers[3]["args"], json::parse(R"(["X",16711680,2,true,false,true])"));
  EXPECT_EQ(count_of(drawing.layers), 4);
}

TEST_F(LayerTable, AbsentEmptyAndShortTables) {
  listen();
  EXPECT_TRUE(load(TorvFile().section(kSlotLayers, table(0, {})).build()));
  EXPECT_TRUE(load(TorvFile().slot(kSlotLayers, -5).tail(table(1, layer(1, 0))).build()));
  EXPECT_TRUE(trace.empty());

  // Two records announced, one whole, the second's name cut short.
  Bytes records = layer(1, 0, 1, "A");
  Bytes cut = layer(2, 0, 1, "LONGNAME");
  cut.data().resize(cut.size() - 3);
  const auto file = TorvFile().section(kSlotLayers, table(3, records.append(cut))).build();
  EXPECT_TRUE(load(file));
  ASSERT_EQ(ops("api_kt_create_layer").size(), 1u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "layers: record 1 of 3 cut short by the end of the data at byte " +
                             std::to_string(88 + 4 + 12 + 3));
}

TEST_F(LayerTable, SlotsInsideTheHeaderAreDamageNotRecords) {
  // The header's own bytes are no table: an entry pointing into them is
  // reported and its section read as absent.
  listen();
  for (const int32_t at : {0, 40, 87}) {
    messages.clear();
    ASSERT_TRUE(load(TorvFile().slot(kSlotLayers, at).build())) << at;
    EXPECT_TRUE(ops("api_kt_create_layer").empty()) << at;
    ASSERT_FALSE(messages.empty()) << at;
    EXPECT_EQ(messages[0], "layers: the directory's entry at byte 52 points into the header at byte " + std::to_string(at))
        << at;
  }
}

TEST_F(LayerTable, HugeCountEndsAtTheData) {
  EXPECT_TRUE(load(TorvFile().section(kSlotLayers, table(0xFFFFFFFF, layer(1, 0))).build()));
  EXPECT_EQ(ops("api_kt_create_layer").size(), 1u);
}

TEST_F(LayerTable, OutOfRangeColourIsReported) {
  listen();
  ASSERT_TRUE(load(TorvFile().section(kSlotLayers, table(1, layer(-32768, 0))).build()));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "layers: colour number -32768 of record 0 lies outside the palette; colour 7 used at byte " +
                             std::to_string(88 + 4 + 6));
}

}  // namespace
