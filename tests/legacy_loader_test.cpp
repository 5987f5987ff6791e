#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "kernel/afx.h"
#include "load/load_document.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/legacy_builder.h"

namespace {

class LegacyLoad : public DrawingTest {
 protected:
  std::vector<std::string> op_names() const {
    std::vector<std::string> names;
    for (const auto& j : ops()) names.push_back(j["op"]);
    return names;
  }
  // Line types, text styles and blocks the drawing holds.
  std::vector<long> counts() const {
    return {count_of(drawing.line_types), count_of(drawing.text_styles), count_of(drawing.blocks)};
  }
  // Diagnostics of the next loads.
  void listen() {
    KtTrvSetDiagnosticSink(
        [](const char* m, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(m); }, &messages);
  }
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }
  std::vector<std::string> messages;
};

using V = std::vector<long>;

TEST_F(LegacyLoad, OneDefaultPerRecordInTableOrder) {
  g_trv_ver = 9;
  // File order differs from the order the tables are read in.
  const auto bytes = LegacyFile("Torv 1.5")
                         .table(kLegacyBlocks, 2)
                         .table(kLegacyTextStyles, 2)
                         .table(kLegacyLayers, 4)
                         .table(kLegacyLineTypes, 3)
                         .build();
  ASSERT_TRUE(load(bytes));
  EXPECT_EQ(op_names(), (std::vector<std::string>{"append_line_type", "append_line_type", "append_line_type",
                                                  "append_text_style", "append_text_style", "append_block",
                                                  "append_block"}));
  EXPECT_EQ(trace.front(), R"({"op":"append_line_type","args":[],"id":1})");
  EXPECT_EQ(counts(), (V{3, 2, 2}));
  EXPECT_EQ(count_of(drawing.layers), 0);  // layers are read, never created
  EXPECT_EQ(g_trv_ver, 9);

  const auto* style = static_cast<const KT_Text_Style*>(drawing.text_styles.first);
  EXPECT_STREQ(style->name, "*no name");
  EXPECT_EQ(style->reals[0], 10.0);
  EXPECT_EQ(style->reals[1], 0.0);
  const auto* block = static_cast<const KT_Block*>(drawing.blocks.last);
  EXPECT_STREQ(block->name, "Block");
  EXPECT_STREQ(block->description, "DESC");
  EXPECT_EQ(block->entities.first, nullptr);
}

TEST_F(LegacyLoad, AppendsAfterWhatTheDrawingHolds) {
  ASSERT_TRUE(load(LegacyFile().table(kLegacyLineTypes, 1).build()));
  ASSERT_TRUE(load(LegacyFile().table(kLegacyLineTypes, 2).build()));
  EXPECT_EQ(count_of(drawing.line_types), 3);
  EXPECT_EQ(drawing.line_types.last->id, 3);
}

// Block records are 55 bytes with their flag in 1.0 files, 119 in 1.5 files.
TEST_F(LegacyLoad, BlockRecordSizeFollowsTheGeneration) {
  struct Case {
    const char* laid_out_as;  // the version whose record size places the records
    const char* read_as;      // the version text the file carries
    int stride;
    bool ok;
    long blocks;
  };
  for (const Case& c : {Case{"Torv 1.0", "Torv 1.0", 55, true, 2}, Case{"Torv 1.0", "Torv 1.5", 55, false, 0},
                        Case{"Torv 1.0", "Torv 1.5", 119, false, 1}, Case{"Torv 1.5", "Torv 1.5", 119, true, 2},
                        Case{"Torv 1.5", "TORV 1.5", 119, true, 2}, Case{"Torv 1.0", "TORV 1.0", 55, true, 2}}) {
    SCOPED_TRACE(std::string(c.laid_out_as) + " read as " + c.read_as + ", stride " + std::to_string(c.stride));
    KT_Drawing fresh;
    g_current_drawing = &fresh;
    // Blocks last: the file ends with the second block record.
    auto bytes = LegacyFile(c.laid_out_as).table(kLegacyBlocks, 2, c.stride).build();
    std::copy_n(c.read_as, 8, bytes.begin());
    EXPECT_EQ(load_torv_buffer(-1, bytes.data(), bytes.size(), fresh), c.ok);
    EXPECT_EQ(count_of(fresh.blocks), c.blocks);
    g_current_drawing = &drawing;
  }
}

TEST_F(LegacyLoad, StrideLargerThanTheBodySkipsTheGap) {
  // Line types at offset + 1, + 201, + 401: the file ends with the third body.
  const LegacyFile file = LegacyFile().table(kLegacyLineTypes, 3, 200);
  auto bytes = file.build();
  ASSERT_EQ(bytes.size(), file.sysvars_offset() + 2 + 400 + 187);
  EXPECT_TRUE(load(bytes));
  EXPECT_EQ(counts(), (V{3, 0, 0}));

  bytes.pop_back();  // the third body is one byte short
  EXPECT_FALSE(load(bytes));
  EXPECT_EQ(counts(), (V{5, 0, 0}));  // the two before it stay
}

TEST_F(LegacyLoad, EmptyAndNegativeCountsAddNothing) {
  for (const int16_t count : {int16_t{0}, int16_t{-1}, int16_t{INT16_MIN}}) {
    LegacyFile file;
    for (const LegacyTable t : {kLegacyBlocks, kLegacyLayers, kLegacyTextStyles, kLegacyLineTypes})
      file.descriptor(t, -7, count, INT32_MIN);  // nothing else of the descriptor matters
    EXPECT_TRUE(load(file.build())) << count;
  }
  EXPECT_TRUE(trace.empty());
}

// Descriptors whose records do not all lie inside the file: the load fails at
// the first record that cannot be read, keeping what came before.
TEST_F(LegacyLoad, TablePastTheEndFailsAndKeepsEarlierTables) {
  struct Case {
    const char* what;
    int16_t stride;
    int16_t count;
    int32_t offset;  // kPastEnd: just past the end of the file
    long styles_kept;
  };
  constexpr int32_t kPastEnd = -2;
  // Text styles last: the file ends with the third style record.
  const LegacyFile base =
      LegacyFile().table(kLegacyBlocks, 1).table(kLegacyLineTypes, 2).table(kLegacyTextStyles, 3);
  const auto size = static_cast<int32_t>(base.build().size());
  const int32_t styles_at = size - 3 * 197;
  for (const Case& c : {
           Case{"offset past the end", 197, 1, kPastEnd, 0},
           Case{"negative offset", 197, 1, -5, 0},
           Case{"most negative offset", 197, 1, INT32_MIN, 0},
           Case{"count beyond the records", 197, 4, styles_at, 3},
           Case{"count that could never fit", 197, INT16_MAX, styles_at, 3},
           Case{"negative stride walking off the start", -30000, 3, styles_at, 1},
           Case{"offset + i * stride beyond 32 bits", INT16_MAX, INT16_MAX, INT32_MAX - 200, 0},
       }) {
    SCOPED_TRACE(c.what);
    KT_Drawing fresh;
    g_current_drawing = &fresh;
    LegacyFile file = base;
    const auto bytes =
        file.descriptor(kLegacyTextStyles, c.stride, c.count, c.offset == kPastEnd ? size : c.offset).build();
    EXPECT_FALSE(load_torv_buffer(-1, bytes.data(), bytes.size(), fresh));
    EXPECT_EQ(count_of(fresh.line_types), 2);
    EXPECT_EQ(count_of(fresh.text_styles), c.styles_kept);
    EXPECT_EQ(count_of(fresh.blocks), 0);  // read after the text styles
    g_current_drawing = &drawing;
  }
}

// Records are read wherever offset + i * stride puts them, backwards included.
TEST_F(LegacyLoad, RecordsLieWhereTheStridePutsThem) {
  LegacyFile file = LegacyFile().table(kLegacyTextStyles, 3);
  const auto size = static_cast<int32_t>(file.build().size());
  EXPECT_TRUE(load(file.descriptor(kLegacyTextStyles, -197, 3, size - 197).build()));
  EXPECT_TRUE(load(file.descriptor(kLegacyTextStyles, 0, 5, size - 197).build()));
  EXPECT_EQ(counts(), (V{0, 8, 0}));
}

TEST_F(LegacyLoad, LayerTableIsReadAndCanFailTheLoad) {
  EXPECT_TRUE(load(LegacyFile().table(kLegacyLayers, 2).table(kLegacyLineTypes, 1).build()));
  EXPECT_FALSE(load(LegacyFile().table(kLegacyLineTypes, 1).descriptor(kLegacyLayers, 37, 1, 1 << 20).build()));
  // Layers come before line types: nothing was appended by the failing load.
  EXPECT_EQ(counts(), (V{1, 0, 0}));
  EXPECT_EQ(count_of(drawing.layers), 0);
}

// The tables lie at their own positions: a fixed part that cannot be
// read to its end costs only the system-variable walk (mode -1), which
// starts behind it.
TEST_F(LegacyLoad, PreviewAndExtraBlocksPresentOrAbsent) {
  struct Case {
    const char* what;
    LegacyFile file;
    bool reached;  // the system-variable table
  };
  const Case cases[] = {
      {"neither", LegacyFile(), true},
      {"preview", LegacyFile().preview(16, 300), true},
      {"extra", LegacyFile().extra(), true},
      {"both", LegacyFile().preview(2, 0).extra(), true},
      {"flag 2 means no preview", LegacyFile().flags(2, 0), true},
      {"flag 2 means no extra block", LegacyFile().flags(0, 2), true},
      {"image size 0x100000 runs past the end", LegacyFile().preview(0, 0x100000, 10), false},
      {"image size runs past the end", LegacyFile().preview(0, 1 << 24, 10), false},
      {"palette runs past the end", LegacyFile().preview(0xFFFF, 0, 0), false},
      {"image size -1", LegacyFile().preview(0, -1), false},
      {"image size -50", LegacyFile().preview(3, -50), false},
      {"preview flag without a block", LegacyFile().flags(1, 0), false},
  };
  listen();
  for (const Case& c : cases) {
    for (const int mode : {-1, 0}) {
      SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(mode));
      trace.clear();
      messages.clear();
      LegacyFile file = c.file;
      EXPECT_TRUE(load(file.table(kLegacyLineTypes, 1).table(kLegacyBlocks, 2).build(), mode));
      EXPECT_EQ(ops("append_line_type").size(), 1u);
      EXPECT_EQ(ops("append_block").size(), 2u);
      const bool skipped = std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
        return m.starts_with("legacy system variables: not read");
      });
      EXPECT_EQ(skipped, mode == -1 && !c.reached);
    }
  }
}

// A file that ends inside the point or the three reals: tables that lie
// before the cut (here inside the preview's image data) are still read.
TEST_F(LegacyLoad, FileCutInsideThePointOrTheRealsKeepsItsTables) {
  const LegacyFile file = LegacyFile().preview(0, 400).descriptor(kLegacyLineTypes, 187, 2, 144);
  const auto whole = file.build();
  for (const std::size_t cut : {std::size_t{8}, std::size_t{30}, std::size_t{1}}) {
    for (const int mode : {-1, 0}) {
      SCOPED_TRACE("cut " + std::to_string(cut) + " before the end, mode " + std::to_string(mode));
      trace.clear();
      const std::size_t keep = file.sysvars_offset() - cut;
      EXPECT_TRUE(load({whole.begin(), whole.begin() + static_cast<long>(keep)}, mode));
      EXPECT_EQ(ops("append_line_type").size(), 2u);
    }
  }
}

TEST_F(LegacyLoad, HeaderAndDirectoryMustBeWhole) {
  const auto bytes = LegacyFile().table(kLegacyLineTypes, 1).build();
  for (const std::size_t keep : {std::size_t{1}, std::size_t{21}, std::size_t{22}, std::size_t{101},
                                 std::size_t{141}}) {
    EXPECT_FALSE(load({bytes.begin(), bytes.begin() + static_cast<long>(keep)})) << keep;
  }
  EXPECT_TRUE(trace.empty());
}

TEST_F(LegacyLoad, OtherVersionTextsAddNothing) {
  for (const char* v : {"Torv 1.6", "Torv 1.5 ", "Torv 1", "T", "Torv 1.5xxxxxxxxxxxx"}) {
    EXPECT_FALSE(load(LegacyFile(v).table(kLegacyLineTypes, 2).build())) << v;
  }
  // A lower-case first byte is not a legacy file at all.
  EXPECT_FALSE(load(LegacyFile("torv 1.5").table(kLegacyLineTypes, 2).build()));
  EXPECT_TRUE(trace.empty());
}

TEST_F(LegacyLoad, MalformedVariableTableDoesNotFailTheLoad) {
  Bytes table;
  table.i16(12);
  for (int i = 0; i < 10; ++i) table.u8(1).i32(i);
  table.u8(16).f64(0.0).u8(4).f64(1.0);  // entry 10 has no known form
  listen();
  for (const int mode : {-1, 0, 1}) {
    messages.clear();
    EXPECT_TRUE(load(LegacyFile().sysvars(table).table(kLegacyLineTypes, 1).build(), mode)) << mode;
    // Only mode -1 walks the table (and says where it ended).
    ASSERT_EQ(messages.size(), mode == -1 ? 1u : 0u) << mode;
    if (mode == -1) {
      EXPECT_NE(messages[0].find("entry 10 of 12 has type 16"), std::string::npos) << messages[0];
    }
  }
  EXPECT_EQ(counts(), (V{3, 0, 0}));
}

TEST_F(LegacyLoad, FailuresSayWhichRecordAndWhere) {
  listen();
  const LegacyFile file = LegacyFile().table(kLegacyLineTypes, 2, 200);
  auto bytes = file.build();
  bytes.resize(bytes.size() - 1);
  EXPECT_FALSE(load(bytes));
  ASSERT_EQ(messages.size(), 1u);
  const std::size_t second = file.sysvars_offset() + 2 + 200;
  EXPECT_EQ(messages[0], "legacy line types: record 1 of 2 (187 bytes, stride 200 from byte " +
                             std::to_string(file.sysvars_offset() + 2) + ") lies outside the file at byte " +
                             std::to_string(second));
}

TEST_F(LegacyLoad, EntryPointHandsTheFileToTheLegacyLoader) {
  g_trv_ver = 11;
  CString path(temp_file(LegacyFile("Torv 1.0").table(kLegacyBlocks, 2).table(kLegacyTextStyles, 1).build()).c_str());
  KT_Drawing* target = &drawing;
  EXPECT_TRUE(LoadTORVDocument(0, path, target));
  EXPECT_EQ(counts(), (V{0, 1, 2}));
  EXPECT_EQ(g_trv_ver, 11);
}

}  // namespace
