#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "entities/entity_stream.h"
#include "host/zirida_host.h"
#include "format/diagnostics.h"
#include "load/load_document.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/torv_builder.h"

namespace {

class BlockSection : public DrawingTest {
 protected:
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }
  bool load_blocks(uint32_t count, const Bytes& records) {
    return load(TorvFile().section(kSlotBlocks, Bytes().u32(count).append(records)).build());
  }
  void listen() {
    KtTrvSetDiagnosticSink(
        [](const char* m, void* c) {
          if (std::string_view(m).starts_with("block definitions:")) static_cast<std::vector<std::string>*>(c)->push_back(m);
        },
                        &messages);
  }
  std::vector<std::string> messages;
};

// A block record with every field its flags announce; values derive from the
// flags so a field read out of order shows.
struct Block {
  uint32_t flags = 0;
  Bytes entities;          // the records of the stream (bit 256)
  uint32_t entity_count = 0;

  double x() const { return flags & 0x1 ? flags + 0.25 : 0.0; }
  double y() const { return flags & 0x2 ? flags + 0.5 : 0.0; }
  double z() const { return flags & 0x4 ? flags + 0.75 : 0.0; }
  std::string name() const { return flags & 0x20 ? "B" + std::to_string(flags) : ""; }

  Bytes bytes() const {
    Bytes b;
    b.u32(flags);
    if (flags & 0x8) b.i16(0x1111);
    if (flags & 0x10) b.i16(0x2222);
    if (flags & 0x1) b.f64(x());
    if (flags & 0x2) b.f64(y());
    if (flags & 0x4) b.f64(z());
    if (flags & 0x20) b.str(name());
    if (flags & 0x80) b.str(std::string(40, 'L'));
    if (flags & 0x40) b.str("short");
    if (flags & 0x100) b.u32(entity_count).append(entities);
    return b;
  }
};

const Block kSentinel{0x20 | 0x200 | 0x8000'0000u, {}, 0};  // bits above 256 are ignored

// Entity records whose frame (kind and property block) is read whole: kind 9
// has no payload, so a record with property flags 0 is 12 bytes.
TEST_F(BlockSection, EveryFlagCombinationKeepsTheStreamInStep) {
  // Blocks with bit 256 carry a nested stream of records that create
  // nothing (kinds without a payload reader), so the trace stays two calls
  // per block while the stream framing is exercised.
  const Bytes two_unknown = entity(9, PropsBlock()).append(entity(9, PropsBlock().layer(1)));
  auto block = [&](uint32_t flags) {
    if (flags >= 512) return kSentinel;
    return (flags & 0x100) ? Block{flags, two_unknown, 2} : Block{flags, {}, 0};
  };
  Bytes records;
  for (uint32_t flags = 0; flags < 513; ++flags) records.append(block(flags).bytes());
  ASSERT_TRUE(load_blocks(513, records));
  const auto all = ops();
  ASSERT_EQ(all.size(), 2u * 513);
  for (uint32_t flags = 0; flags < 513; ++flags) {
    const Block b = block(flags);
    const auto& create = all[2 * flags];
    const auto& end = all[2 * flags + 1];
    ASSERT_EQ(create["op"], "api_kt_create_block") << flags;
    EXPECT_EQ(create["args"][0], b.name()) << flags;
    EXPECT_EQ(create["args"][1], nlohmann::json::array({b.x(), b.y(), b.z()})) << flags;
    ASSERT_EQ(end["op"], "api_kt_end_block") << flags;
    EXPECT_EQ(end["args"][0], create["id"]) << flags;
  }
  EXPECT_EQ(count_of(drawing.blocks), 513);
}

TEST_F(BlockSection, BlockIndexIsCountedAfterTheCreation) {
  listen();
  kt_append_block(drawing);
  kt_append_block(drawing);
  // Entity count 1 with no record behind it: the stream ends inside the block.
  const Bytes records = Block{0x120, {}, 1}.bytes();
  ASSERT_TRUE(load_blocks(1, records));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "block definitions: entity stream of block 0 of 1 (block index 3) cut short by the end "
                         "of the data at byte " + std::to_string(88 + 4 + 4 + 2 + 4));

  // A block the kernel refuses adds nothing to count (the drawing still holds
  // the two appended blocks and the one created above), but its stream is
  // still read and the block closed.
  messages.clear();
  trace.clear();
  zirida_refuse(KT_Op::create_block, true);
  ASSERT_TRUE(load_blocks(1, records));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages.back().find("(block index 3)"), std::string::npos) << messages.back();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[1], R"({"op":"api_kt_end_block","args":[null]})");
}

TEST_F(BlockSection, RefusedBlocksStillReadTheirStreamAndClose) {
  zirida_refuse(KT_Op::create_block, true);
  ASSERT_TRUE(load_blocks(2, Block{0x123, {}, 0}.bytes().append(Block{0x21, {}, 0}.bytes())));
  const auto all = ops();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[2]["args"][0], "B33");
  EXPECT_EQ(all[3]["args"][0], nullptr);
}

TEST_F(BlockSection, SectionEndsWhereTheDataEnds) {
  listen();
  // Five blocks announced, two present: no empty blocks for the other three.
  const Bytes two = Block{0x20, {}, 0}.bytes().append(Block{0x21, {}, 0}.bytes());
  ASSERT_TRUE(load_blocks(5, two));
  EXPECT_EQ(ops("api_kt_create_block").size(), 2u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "block definitions: block 2 of 5 cut short by the end of the data at byte " +
                             std::to_string(88 + 4 + two.size()));

  // A block is created as soon as its name and base point are read: a cut
  // in the two texts or the entity count after them still creates and
  // closes it; a cut before that creates nothing. The section ends there.
  const Block full{0x1E3, {}, 0};
  const Bytes whole = full.bytes();
  const std::size_t name_end = 4 + 8 + 8 + 2 + full.name().size();
  for (std::size_t n = 0; n < whole.size(); ++n) {
    SCOPED_TRACE("cut at " + std::to_string(n));
    trace.clear();
    messages.clear();
    Bytes cut;
    cut.raw(std::string_view(reinterpret_cast<const char*>(whole.data().data()), n));
    ASSERT_TRUE(load_blocks(2, cut));
    if (n >= name_end) {
      const auto made = ops();
      ASSERT_EQ(made.size(), 2u);
      EXPECT_EQ(made[0]["op"], "api_kt_create_block");
      EXPECT_EQ(made[0]["args"].dump(), R"(["B483",[483.25,483.5,0]])");
      EXPECT_EQ(made[1]["op"], "api_kt_end_block");
      EXPECT_EQ(made[1]["args"][0], made[0]["id"]);
    } else {
      EXPECT_TRUE(trace.empty());
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "block definitions: block 0 of 2 cut short by the end of the data at byte 92");
  }

  // The data ends inside a block's stream: the block is closed, the section
  // ends, and the model space is still read from its own position.
  trace.clear();
  Bytes file_blocks = Bytes().u32(2).append(Block{0x100, {}, 3}.bytes());
  const auto file = TorvFile()
                        .section(kSlotEntities, entity_section(0, {}))
                        .section(kSlotBlocks, file_blocks)
                        .build();
  ASSERT_TRUE(load(file));
  const auto all = ops();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1]["op"], "api_kt_end_block");
}

TEST_F(BlockSection, AbsentSection) {
  const Bytes one = Bytes().u32(1).append(Block{0x20, {}, 0}.bytes());
  EXPECT_TRUE(load(TorvFile().slot(kSlotBlocks, -1).tail(one).build()));
  EXPECT_TRUE(load(TorvFile().slot(kSlotBlocks, -2).tail(one).build()));  // not absent: the seek finds nothing
  EXPECT_TRUE(load(TorvFile().section(kSlotBlocks, Bytes().u32(0)).tail(one).build()));
  EXPECT_TRUE(trace.empty());
}

TEST_F(BlockSection, NestedEntityStreamsLeaveTheStreamAtTheNextBlock) {
  const Bytes two_unknown = entity(9, PropsBlock()).append(entity(9, PropsBlock()));
  Bytes records;
  for (uint32_t flags : {0x100u, 0x123u, 0x1FFu}) records.append(Block{flags, two_unknown, 2}.bytes());
  records.append(kSentinel.bytes());
  ASSERT_TRUE(load_blocks(4, records));
  const auto blocks = ops("api_kt_create_block");
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[1]["args"][0], "B291");
  EXPECT_EQ(blocks[3]["args"][0], kSentinel.name());
  EXPECT_EQ(ops("api_kt_end_block").size(), 4u);
}

TEST_F(BlockSection, BlockEntitiesLandInTheirBlock) {
  const Bytes line = entity(2, PropsBlock(), Bytes().pt3(1, 2, 0).pt3(3, 4, 0));
  ASSERT_TRUE(load(TorvFile().section(kSlotEntities, entity_section(1, line)).build()));
  ASSERT_EQ(ops("api_kt_create_line").size(), 1u);
  KT_Drawing fresh;
  trace.clear();
  const auto file = TorvFile()
                        .section(kSlotBlocks, Bytes().u32(1).append(Block{0x120, line, 1}.bytes()))
                        .section(kSlotEntities, entity_section(1, line))
                        .build();
  ASSERT_TRUE(load_torv_buffer(-1, file.data(), file.size(), fresh));
  ASSERT_EQ(count_of(fresh.blocks), 1);
  const auto* block = static_cast<const KT_Block*>(fresh.blocks.first);
  ASSERT_NE(block->entities.first, nullptr);
  EXPECT_EQ(block->entities.first->kind, KT_Drawable_Kind::line);
  EXPECT_EQ(block->entities.first->next, nullptr);
  ASSERT_NE(fresh.model_space.first, nullptr);
  EXPECT_EQ(fresh.model_space.first->next, nullptr);
  // The block's line is created between the block's creation and its close.
  const auto all = ops();
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[0]["op"], "api_kt_create_block");
  EXPECT_EQ(all[1]["op"], "api_kt_create_line");
  const auto end = std::find_if(all.begin(), all.end(), [](const auto& j) { return j["op"] == "api_kt_end_block"; });
  ASSERT_NE(end, all.end());
  EXPECT_LT(end - all.begin(), static_cast<long>(all.size()) - 1) << "the model-space line follows the block";
}

}  // namespace
