#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "entities/entity_props.h"
#include "tests/support/entity_builder.h"

namespace {

struct Read {
  bool ok;
  int32_t consumed;
  EntityProps props;
};

// Reads one property block from bytes followed by filler, so a block that
// reads too far still has data to read.
Read read_props(const Bytes& block, std::size_t filler = 64) {
  Bytes b = block;
  b.zeros(filler);
  tagFile f{b.data().data(), static_cast<int32_t>(b.size()), 0};
  RecordReader r(&f);
  Read out{};
  out.ok = read_entity_props(r, out.props);
  out.consumed = f.position;
  return out;
}

TEST(EntityProps, AbsentFieldsTakeTheirDefaults) {
  const Read got = read_props(PropsBlock().bytes());
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.consumed, 10);
  EXPECT_EQ(got.props.layer, 0);
  EXPECT_EQ(got.props.linetype, -1);
  EXPECT_EQ(got.props.color, -1);
  EXPECT_EQ(got.props.reals[0], 0.0);
  EXPECT_EQ(got.props.reals[1], 0.0);
  EXPECT_EQ(got.props.value16, 0);
  for (double e : got.props.extrusion) EXPECT_EQ(e, 0.0);
  EXPECT_FALSE(is_mirrored(got.props));
}

TEST(EntityProps, EveryPresentFieldIsStoredAndSized) {
  const Bytes block = PropsBlock()
                          .layer(12)
                          .linetype(3)
                          .reals(1.5, -2.5)
                          .color(42)
                          .value16(-9)
                          .extrusion(0.25, 0.5, -1.0)
                          .bytes();
  const Read got = read_props(block);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.consumed, 61);  // 2 + 2 + 2 + 8 + 16 + 2 + 2 + 27
  EXPECT_EQ(got.props.flags, 0x7F);
  EXPECT_EQ(got.props.layer, 12);
  EXPECT_EQ(got.props.linetype, 3);
  EXPECT_EQ(got.props.values[0], 0x11111111u);
  EXPECT_EQ(got.props.values[1], 0x22222222u);
  EXPECT_EQ(got.props.reals[0], 1.5);
  EXPECT_EQ(got.props.reals[1], -2.5);
  EXPECT_EQ(got.props.color, 42);
  EXPECT_EQ(got.props.value16, -9);
  EXPECT_EQ(got.props.extrusion[0], 0.25);
  EXPECT_EQ(got.props.extrusion[1], 0.5);
  EXPECT_EQ(got.props.extrusion[2], -1.0);

  // Bits 8, 9 and 10 add 8, 8 and 2 bytes, read and dropped.
  EXPECT_EQ(read_props(PropsBlock().bits8to10().bytes()).consumed, 10 + 18);
  EXPECT_EQ(read_props(PropsBlock().flags(0x100).bytes()).consumed, 18);
  EXPECT_EQ(read_props(PropsBlock().flags(0x200).bytes()).consumed, 18);
  EXPECT_EQ(read_props(PropsBlock().flags(0x400).bytes()).consumed, 12);
  // Bits 12 to 15 carry nothing.
  EXPECT_EQ(read_props(PropsBlock().flags(0xF000).bytes()).consumed, 10);
}

// The common fixed parts are read by cases of their own and the blocks of
// vertices and attributes are passed over: every combination of the fixed
// part's fields, alone and before optional fields, gives the same fields and
// the same size either way, and fails when cut.
TEST(EntityProps, EveryFixedPartCombinationReadsAndPassesOverAlike) {
  const struct {
    int stored, linetype, color;
  } numbers[] = {{-2, 32766, -2}, {256, 256, -1}, {7, 7, 7}};
  const struct {
    const char* what;
    uint16_t flags;
  } tails[] = {{"no optional field", 0}, {"xdata", 0x80}, {"extrusion", 0x40}};
  for (const auto& n : numbers)
    for (uint16_t fixed = 0; fixed < 0x40; ++fixed)
      for (const auto& tail : tails) {
        SCOPED_TRACE(testing::Message() << tail.what << ", flags 0x" << std::hex << fixed << std::dec << ", number "
                                        << n.stored);
        // Every field is given; the flags choose which are written.
        const Bytes block = PropsBlock()
                                .layer(n.stored)
                                .linetype(n.stored)
                                .reals(1.5, 2.5)
                                .color(n.stored)
                                .value16(n.stored)
                                .xdata(1, Bytes().i16(1000).str("x"))
                                .extrusion({}, {}, -1.0)
                                .flags(static_cast<uint16_t>(fixed | tail.flags))
                                .bytes();
        const Read got = read_props(block);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.consumed, static_cast<int32_t>(block.size()));
        EXPECT_EQ(got.props.flags, fixed | tail.flags);
        EXPECT_EQ(got.props.layer, (fixed & 0x1) ? n.stored : 0);
        EXPECT_EQ(got.props.linetype, (fixed & 0x2) ? n.linetype : -1);
        EXPECT_EQ(got.props.values[0], 0x11111111u);
        EXPECT_EQ(got.props.values[1], 0x22222222u);
        EXPECT_EQ(got.props.reals[0], (fixed & 0x4) ? 1.5 : 0.0);
        EXPECT_EQ(got.props.reals[1], (fixed & 0x8) ? 2.5 : 0.0);
        EXPECT_EQ(got.props.color, (fixed & 0x10) ? n.color : -1);
        EXPECT_EQ(got.props.value16, (fixed & 0x20) ? n.stored : 0);
        EXPECT_EQ(is_mirrored(got.props), tail.flags == 0x40);

        for (std::size_t cut = 0; cut <= block.size(); ++cut) {
          Bytes part;
          part.raw(std::string_view(reinterpret_cast<const char*>(block.data().data()), cut));
          tagFile f{part.data().data(), static_cast<int32_t>(part.size()), 0};
          RecordReader r(&f);
          const bool whole = cut == block.size();
          EXPECT_EQ(skip_entity_props(r), whole) << cut;
          if (whole) {
            EXPECT_EQ(f.position, static_cast<int32_t>(block.size()));
          }
          EXPECT_EQ(read_props(part, 0).ok, whole) << cut;
        }
      }
}

bool same_props(const EntityProps& a, const EntityProps& b) {
  return a.flags == b.flags && a.layer == b.layer && a.linetype == b.linetype && a.values[0] == b.values[0] &&
         a.values[1] == b.values[1] && a.reals[0] == b.reals[0] && a.reals[1] == b.reals[1] && a.color == b.color &&
         a.value16 == b.value16 && a.extrusion[0] == b.extrusion[0] && a.extrusion[1] == b.extrusion[1] &&
         a.extrusion[2] == b.extrusion[2];
}

// The stream reads a record's kind and property block in one step when it
// can: every block, whole and cut at every byte, read that way gives what
// the kind then the block read field by field give (fields, result, position,
// failure and its offset).
TEST(EntityProps, KindAndBlockInOneStepReadAsFieldByField) {
  const int numbers[] = {-2, 256, 7};
  const uint16_t tails[] = {0, 0x80, 0x40, 0xF000, 0x0FC0};
  for (const int n : numbers)
    for (uint16_t fixed = 0; fixed < 0x40; ++fixed)
      for (const uint16_t tail : tails) {
        const auto flags = static_cast<uint16_t>(fixed | tail);
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << flags << std::dec << ", number " << n);
        const Bytes record = entity(2, PropsBlock()
                                           .layer(n)
                                           .linetype(n)
                                           .reals(1.5, 2.5)
                                           .color(n)
                                           .value16(n)
                                           .xdata(1, Bytes().i16(1000).str("x"))
                                           .extrusion({}, {}, -1.0)
                                           .blobs(1, Bytes().zeros(12).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0))
                                           .flags(flags));
        for (std::size_t cut = 0; cut <= record.size(); ++cut) {
          std::vector<unsigned char> part(record.data().begin(), record.data().begin() + static_cast<long>(cut));
          tagFile one_step_file{part.data(), static_cast<int32_t>(cut), 0};
          tagFile by_field_file = one_step_file;
          RecordReader one_step(&one_step_file);
          RecordReader by_field(&by_field_file);
          EntityProps one_step_props, by_field_props;
          int16_t kind = 0;
          const bool one_step_ok = read_kind_and_props(one_step, one_step_props, kind);
          const int16_t field_kind = by_field.i16();
          const bool by_field_ok = read_entity_props(by_field, by_field_props);
          ASSERT_EQ(one_step_ok, by_field_ok) << cut;
          EXPECT_EQ(one_step_ok, cut == record.size()) << cut;
          EXPECT_EQ(kind, field_kind) << cut;
          EXPECT_TRUE(same_props(one_step_props, by_field_props)) << cut;
          EXPECT_EQ(one_step_file.position, by_field_file.position) << cut;
          EXPECT_EQ(one_step.failure(), by_field.failure()) << cut;
          EXPECT_EQ(one_step.failed_at(), by_field.failed_at()) << cut;
        }
      }
}

TEST(EntityProps, SpecialLinetypeAndColourNumbers) {
  struct Case {
    int stored, linetype, color;
  } cases[] = {
      {-2, 32766, -2}, {-1, -1, -1}, {0, 0, 0}, {256, 256, -1}, {255, 255, 255}, {-32768, -32768, -32768},
  };
  for (const Case& c : cases) {
    const Read got = read_props(PropsBlock().linetype(c.stored).color(c.stored).bytes());
    EXPECT_EQ(got.props.linetype, c.linetype) << c.stored;
    EXPECT_EQ(got.props.color, c.color) << c.stored;
  }
}

TEST(EntityProps, ExtrusionComponentsFollowTheirPresenceBytes) {
  struct Case {
    std::optional<double> x, y, z;
    int32_t size;
    double expected[3];
    bool mirrored;
  } cases[] = {
      {{}, {}, {}, 13, {0, 0, 0}, false},
      {0.0, 0.0, -1.0, 37, {0, 0, -1}, true},
      {0.5, 0.0, -1.0, 37, {0.5, 0, -1}, true},  // x and y are not examined
      {{}, {}, -1.0, 21, {0, 0, -1}, true},
      {0.0, 0.0, -0.999, 37, {0, 0, -0.999}, false},
      {0.0, 0.0, 1.0, 37, {0, 0, 1}, false},
      {{}, 3.0, {}, 21, {0, 3, 0}, false},
  };
  for (const Case& c : cases) {
    const Read got = read_props(PropsBlock().extrusion(c.x, c.y, c.z).bytes());
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.consumed, c.size);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(got.props.extrusion[i], c.expected[i]) << i;
    EXPECT_EQ(is_mirrored(got.props), c.mirrored) << c.size;
  }
  // Any non-zero presence byte announces a double.
  const Bytes odd = Bytes().u16(0x40).u32(0).u32(0).u8(0x80).f64(2.0).u8(0).u8(0xFF).f64(-1.0);
  const Read got = read_props(odd);
  EXPECT_EQ(got.consumed, 29);
  EXPECT_EQ(got.props.extrusion[0], 2.0);
  EXPECT_TRUE(is_mirrored(got.props));
}

TEST(EntityProps, XdataValuesAreSizedByGroupCode) {
  struct Case {
    int code;
    Bytes value;
  } cases[] = {
      {1000, Bytes().str("abc")},       {1004, Bytes().str("binary")}, {1005, Bytes().str("")},
      {1001, Bytes().i16(-4)},          {1010, Bytes().pt3(1, 2, 3)},  {1013, Bytes().pt3(1, 2, 3)},
      {1040, Bytes().f64(1)},           {1042, Bytes().f64(1)},        {1070, Bytes().i16(5)},
      {1071, Bytes().i32(5)},           {1006, {}},                    {1009, {}},
      {1014, {}},                       {1039, {}},                    {1043, {}},
      {1069, {}},                       {1072, {}},                    {999, {}},
      {-1, {}},                         {0, {}},
  };
  for (const Case& c : cases) {
    const Bytes item = Bytes().i16(c.code).append(c.value);
    const Read got = read_props(PropsBlock().xdata(1, item).bytes());
    ASSERT_TRUE(got.ok) << c.code;
    EXPECT_EQ(got.consumed, static_cast<int32_t>(10 + 4 + item.size())) << c.code;
  }
  // Several items in a row.
  Bytes items;
  for (const Case& c : cases) items.i16(c.code).append(c.value);
  const Bytes block = PropsBlock().xdata(std::size(cases), items).color(5).bytes();
  const Read got = read_props(block);
  EXPECT_EQ(got.consumed, static_cast<int32_t>(block.size()));
  EXPECT_EQ(got.props.color, 5);
}

// One blob list item: 12 bytes, then the six-value header, then its bytes.
Bytes blob(uint32_t size1, uint32_t size2, uint32_t has1, uint32_t has2, uint32_t has3,
           const Bytes& tail) {
  return Bytes().zeros(12).u32(0xABCD).u32(size1).u32(size2).u32(has1).u32(has2).u32(has3).append(tail);
}

TEST(EntityProps, BlobItemsPassOverOnlyWhatTheirFlagsAnnounce) {
  struct Case {
    Bytes item;
    int32_t size;
  } cases[] = {
      {blob(1000, 0, 0, 0, 0, {}), 36},  // size1 without has1 passes nothing
      {blob(3, 0, 1, 0, 0, Bytes().zeros(3)), 39},
      {blob(1000, 5, 0, 1, 0, Bytes().zeros(5)), 41},
      {blob(0, 0, 0, 0, 7, Bytes().u32(4).zeros(4)), 44},
      {blob(2, 3, 1, 1, 1, Bytes().zeros(5).u32(1).zeros(1)), 46},
  };
  for (const Case& c : cases) {
    const Read got = read_props(PropsBlock().blobs(1, c.item).bytes());
    ASSERT_TRUE(got.ok) << c.size;
    EXPECT_EQ(got.consumed, 10 + 4 + c.size);
  }
  const Bytes two = Bytes().append(cases[0].item).append(cases[4].item);
  EXPECT_EQ(read_props(PropsBlock().blobs(2, two).bytes()).consumed, 10 + 4 + 36 + 46);
}

TEST(EntityProps, CountsAndSizesBeyondTheDataFailAtOnce) {
  const uint32_t huge = std::numeric_limits<uint32_t>::max();
  const Bytes blocks[] = {
      PropsBlock().xdata(huge, Bytes().i16(999)).bytes(),
      PropsBlock().xdata(3, Bytes().i16(1000).i16(30000).raw("ab")).bytes(),  // string past the end
      PropsBlock().blobs(huge, blob(0, 0, 0, 0, 0, {})).bytes(),
      PropsBlock().blobs(1, blob(huge, 0, 1, 0, 0, {})).bytes(),
      PropsBlock().blobs(1, blob(0, huge, 0, 1, 0, {})).bytes(),
      PropsBlock().blobs(1, blob(0, 0, 0, 0, 1, Bytes().u32(huge))).bytes(),
  };
  for (const Bytes& block : blocks) {
    const Read got = read_props(block, 0);
    EXPECT_FALSE(got.ok) << block.size();
  }
}

TEST(EntityProps, EveryCutThroughABlockFails) {
  const Bytes full = PropsBlock()
                         .layer(1)
                         .linetype(2)
                         .reals(1, 2)
                         .color(3)
                         .value16(4)
                         .extrusion(1.0, {}, -1.0)
                         .xdata(2, Bytes().i16(1000).str("xy").i16(1071).i32(1))
                         .bits8to10()
                         .blobs(1, blob(2, 0, 1, 0, 1, Bytes().zeros(2).u32(1).zeros(1)))
                         .bytes();
  ASSERT_TRUE(read_props(full, 0).ok);
  for (std::size_t n = 0; n < full.size(); ++n) {
    Bytes cut;
    cut.raw(std::string_view(reinterpret_cast<const char*>(full.data().data()), n));
    EXPECT_FALSE(read_props(cut, 0).ok) << n;
  }
}

}  // namespace
