#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "legacy/legacy_entities.h"
#include "legacy/legacy_sysvars.h"
#include "legacy/legacy_tables.h"
#include "tests/support/bytes.h"
#include "tests/support/legacy_builder.h"

namespace {

// The walk's result and the bytes it moved over.
std::pair<int, int32_t> walk(const Bytes& table) {
  tagFile f{table.data().data(), static_cast<int32_t>(table.size()), 0};
  const int ok = walk_legacy_sysvar_table(&f);
  return {ok, f.position};
}

TEST(LegacySysVars, EntryFormsByTypeByte) {
  struct Case {
    const char* what;
    Bytes table;
    int ok;
    int32_t consumed;  // -1: not checked
  };
  const std::string long_text(300, 'x');
  Bytes eleven;
  eleven.i16(20);
  for (int i = 0; i < 10; ++i) eleven.u8(4).f64(i);
  eleven.u8(16).zeros(40);
  const Case cases[] = {
      {"count 0", Bytes().i16(0).u8(99), 1, 2},
      {"negative count", Bytes().i16(-3).u8(99), 1, 2},
      {"word, real, point", Bytes().i16(3).u8(1).i32(7).u8(4).f64(1.5).u8(15).pt2(1, 2), 1, 33},
      {"every known form", Bytes().i16(5).u8(3).i32(0).u8(11).f64(0).u8(12).str("ab").u8(14).str("").u8(19).pt2(0, 0),
       1, 2 + 5 + 9 + 5 + 3 + 17},
      {"string of length 0", Bytes().i16(1).u8(13).i16(0), 1, 5},
      {"string of length -4", Bytes().i16(1).u8(13).i16(-4), 1, 5},
      {"string longer than 127 passed over whole", Bytes().i16(2).u8(12).str(long_text).u8(1).i32(0), 1,
       2 + 3 + 300 + 5},
      {"type 16 at the eleventh entry", eleven, 0, -1},
      {"type 0", Bytes().i16(1).u8(0), 0, -1},
      {"type 20", Bytes().i16(1).u8(20).f64(0), 0, -1},
      {"count cut short", Bytes().u8(1), 0, -1},
      {"real cut short", Bytes().i16(1).u8(5).i32(0), 0, -1},
      {"string cut short", Bytes().i16(1).u8(12).i16(10).raw("abc"), 0, -1},
      {"fewer entries than counted", Bytes().i16(3).u8(1).i32(0), 0, -1},
  };
  for (const Case& c : cases) {
    const auto [ok, consumed] = walk(c.table);
    EXPECT_EQ(ok, c.ok) << c.what;
    if (c.consumed >= 0) {
      EXPECT_EQ(consumed, c.consumed) << c.what;
    }
  }
}

TEST(LegacyTables, RecordsInsideTheFile) {
  struct Case {
    LegacyTableDescriptor d;
    std::size_t body;
    std::size_t file;
    bool inside;
  };
  for (const Case& c : {
           Case{{10, 0, -5}, 36, 0, true},               // empty tables are inside anywhere
           Case{{10, -2, INT32_MAX}, 36, 0, true},
           Case{{37, 2, 100}, 36, 174, true},            // last record ends at the file's end
           Case{{37, 2, 100}, 36, 173, false},
           Case{{200, 3, 0}, 186, 587, true},            // stride beyond the body
           Case{{-37, 3, 74}, 36, 111, true},            // backwards: 74, 37, 0
           Case{{-37, 3, 73}, 36, 111, false},           // the last would start before the file
           Case{{INT16_MAX, INT16_MAX, INT32_MAX - 200}, 1, INT32_MAX, false},  // wraps in 32 bits
           Case{{0, INT16_MAX, 0}, 196, 197, true},
       }) {
    EXPECT_EQ(legacy_table_inside(c.d, c.body, c.file), c.inside)
        << c.d.stride << " " << c.d.count << " " << c.d.offset << " in " << c.file;
  }
  EXPECT_EQ(legacy_record_start({INT16_MIN, INT16_MAX, INT32_MIN}, INT16_MAX),
            int64_t{INT32_MIN} + int64_t{INT16_MAX} * INT16_MIN);
}

TEST(LegacyTables, LayerAndFontValuesAsPrepared) {
  unsigned char layer[36] = {};
  std::memcpy(layer, "defPoints", 9);
  const LegacyLayer a = decode_legacy_layer(1, layer);
  EXPECT_STREQ(a.name, "defPoints");
  EXPECT_EQ(a.color, 7);  // 0 stands for 7
  EXPECT_EQ(a.flag, 5);
  std::memset(layer, 'A', 32);  // a name filling its field
  layer[32] = 3;
  const LegacyLayer b = decode_legacy_layer(0, layer);
  EXPECT_EQ(std::string(b.name), std::string(32, 'A'));
  EXPECT_EQ(b.color, 3);
  EXPECT_EQ(b.flag, 0);

  unsigned char style[196] = {};
  std::memcpy(style + 66, "txt", 3);
  std::memcpy(style + 131, "fonts\\big.fnt", 13);
  LegacyFontNames n = legacy_font_names(style);
  EXPECT_STREQ(n.font, "txt.shx");
  EXPECT_STREQ(n.big_font, "fonts\\big.fnt");
  std::memset(style + 66, 'f', 65);  // no terminator in the field
  style[131] = 0;
  n = legacy_font_names(style);
  EXPECT_EQ(std::string(n.font), std::string(65, 'f') + ".shx");
  EXPECT_STREQ(n.big_font, "");
  // Both fields full: each name, its ".shx" and its terminator fit.
  std::memset(style + 131, 'g', 65);
  n = legacy_font_names(style);
  EXPECT_EQ(std::string(n.font), std::string(65, 'f') + ".shx");
  EXPECT_EQ(std::string(n.big_font), std::string(65, 'g') + ".shx");
}

// Walks a section placed at byte 4 of a buffer, with its end offset at
// section end + end_shift, and the buffer ending `tail` bytes after it.
LegacyEntitySummary summarize(const Bytes& section, int end_shift = 0, std::size_t tail = 0) {
  Bytes buffer;
  buffer.zeros(4).append(section).zeros(tail);
  const auto end = static_cast<int32_t>(4 + section.size()) + end_shift;
  return summarize_legacy_entities(buffer.data().data(), buffer.size(), 4, end);
}

TEST(LegacyEntities, SectionEndsAtKind13OrTheEndOffset) {
  struct Case {
    const char* what;
    Bytes section;
    int end_shift;
    std::size_t tail;
    uint32_t records;
    LegacyEntityEnd end;
    int64_t stop_offset;
    const char* why;
  };
  const Bytes two = Bytes().append(legacy_entity(1, 0, Bytes().zeros(16))).append(legacy_entity(7));
  const Case cases[] = {
      {"empty section", Bytes(), 0, 0, 0, LegacyEntityEnd::end_offset, 4, ""},
      {"to the end offset", two, 0, 0, 2, LegacyEntityEnd::end_offset, 4 + 32, ""},
      {"kind 13 before the end offset", Bytes(two).append(legacy_entity(13)).append(legacy_entity(1)), 0, 0, 3,
       LegacyEntityEnd::last_record, 4 + 32, ""},
      {"kind 13 as the last record", Bytes(two).append(legacy_entity(13)), 0, 0, 3, LegacyEntityEnd::last_record,
       4 + 32, ""},
      {"length shorter than the frame", Bytes(two).append(legacy_entity(2, 0, Bytes().zeros(8), 7)), 0, 0, 2,
       LegacyEntityEnd::stopped, 4 + 32, "record length is shorter than its 8-byte frame"},
      {"negative length", Bytes(two).append(legacy_entity(2, 0, Bytes().zeros(8), -8 & 0xFFFF)), 0, 0, 2,
       LegacyEntityEnd::stopped, 4 + 32, "record length is shorter than its 8-byte frame"},
      {"record past the end offset", Bytes(two).append(legacy_entity(2, 0, Bytes().zeros(8))), -1, 10, 2,
       LegacyEntityEnd::stopped, 4 + 32, "record runs past the section's end offset"},
      {"frame cut by the end offset", two, -4, 0, 1, LegacyEntityEnd::stopped, 4 + 24,
       "record runs past the section's end offset"},
      {"end offset past the file", two, 100, 0, 2, LegacyEntityEnd::stopped, 4 + 32,
       "record runs past the end of the file"},
      {"record past the file's end", legacy_entity(2, 0, {}, 30000), 30000, 0, 0, LegacyEntityEnd::stopped, 4,
       "record runs past the end of the file"},
      {"end offset before the start", two, -40, 0, 0, LegacyEntityEnd::stopped, 4,
       "the end offset lies before the start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LegacyEntitySummary s = summarize(c.section, c.end_shift, c.tail);
    EXPECT_EQ(s.records, c.records);
    EXPECT_EQ(s.end, c.end);
    EXPECT_EQ(s.stop_offset, c.stop_offset);
    EXPECT_STREQ(s.why, c.why);
  }
  const LegacyEntitySummary kinds = summarize(Bytes(two).append(legacy_entity(1)).append(legacy_entity(255)));
  EXPECT_EQ(kinds.by_kind[1], 2u);
  EXPECT_EQ(kinds.by_kind[7], 1u);
  EXPECT_EQ(kinds.by_kind[255], 1u);
}

TEST(LegacyEntities, StartOutsideTheFileReadsNothing) {
  const Bytes b = legacy_entity(1);
  for (const int32_t start : {-1, INT32_MIN, 9, INT32_MAX}) {
    const LegacyEntitySummary s = summarize_legacy_entities(b.data().data(), b.size(), start, INT32_MAX);
    EXPECT_EQ(s.records, 0u) << start;
    EXPECT_EQ(s.end, LegacyEntityEnd::stopped) << start;
  }
}

TEST(LegacyEntities, OptionalFieldsComeBeforeThePayload) {
  struct Case {
    uint8_t options;
    Bytes fields;
    int64_t payload_offset;  // -1: the record cannot hold its fields
  };
  const Case cases[] = {
      {0, Bytes(), 8},
      {kLegacyOptCounted, Bytes().i16(3).raw("abc"), 13},
      {kLegacyOptCounted, Bytes().i16(-9), 10},
      {kLegacyOptWord1 | kLegacyOptWord2, Bytes().i16(1).i16(2), 12},
      {kLegacyOptCounted | kLegacyOptWord1 | kLegacyOptWord2 | kLegacyOptLong,
       Bytes().i16(1).raw("a").i16(0).i16(0).i32(0), 8 + 3 + 2 + 2 + 4},
      {kLegacyOptLong, Bytes().i16(0), -1},
      {kLegacyOptCounted, Bytes().i16(50), -1},
      {kLegacyOptCounted, Bytes().u8(1), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.options));
    const Bytes record = legacy_entity(3, c.options, Bytes(c.fields).zeros(c.payload_offset < 0 ? 0 : 5));
    LegacyEntityWalk w = begin_legacy_entities(record.data().data(), record.size(), 0, static_cast<int32_t>(record.size()));
    LegacyEntityFrame frame;
    EXPECT_EQ(next_legacy_entity(w, frame), c.payload_offset >= 0);
    if (c.payload_offset < 0) {
      EXPECT_STREQ(w.why, "optional fields run past the record's length");
      continue;
    }
    EXPECT_EQ(frame.payload_offset, c.payload_offset);
    EXPECT_EQ(frame.payload_size, 5);
    EXPECT_EQ(frame.length, static_cast<int16_t>(record.size()));
  }
}

}  // namespace
