// A whole load of a file with system variables, every table and block
// definitions: the kernel calls come in the loader's section order (not the
// order of the sections in the file) and in file order within each section.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kttrv/kttrv.h"
#include "format/diagnostics.h"
#include "save/sysvar_forms.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/torv_builder.h"

namespace {

class LoadTablesTrace : public DrawingTest {
 protected:
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }
};

// The system-variable section as the writer lays it out.
Bytes sysvar_section() {
  Bytes b;
  b.f64(0.0);
  for (char form : std::string(kSysVarForms)) {
    switch (form) {
      case 'W': b.i16(0); break;
      case 'L': b.i32(0); break;
      case 'D': b.f64(0); break;
      case 'P': b.pt2(0, 0); break;
      case 'T': b.pt3(0, 0, 0); break;
      case 'S': b.cstr("x"); break;
    }
  }
  return b;
}

Bytes layers() {
  Bytes b;
  b.u32(2);
  b.i32(1).u8(0x05).u8(0).i16(-1).u16(3).u16(0).str("WALLS");
  b.i32(0).u8(0x00).u8(0).i16(0).u16(0).u16(0);
  return b;
}

Bytes text_styles() {
  Bytes b;
  b.u32(1);
  b.i32(1).u8(0x04).zeros(9).f64(0.8).f64(90.0).zeros(2).f64(2.5).i32(1).i32(0).zeros(8);
  b.str("NOTES").str("C:\\FONTS\\ARIAL.TTF").str("Arial");
  return b;
}

Bytes dim_styles() {
  Bytes rec;
  rec.zeros(216);
  rec.patch<int32_t>(0, 1).patch<int32_t>(204, 1);
  rec.patch<double>(26, 2.0).patch<double>(34, 0.25).patch<double>(74, 3.9).patch<double>(146, 257.0);
  rec.patch<int16_t>(180, 0x0104).patch<int16_t>(192, -1);
  return Bytes().u32(1).append(rec).str("DIM1").str("DIM1_ALT");
}

Bytes blocks() {
  Bytes b;
  b.u32(2);
  b.u32(0x123).f64(1.0).f64(2.0).str("DOOR").u32(1).append(entity(9, PropsBlock()));
  b.u32(0x20).str("EMPTY");
  return b;
}

TEST_F(LoadTablesTrace, CallsFollowTheSectionOrderOfTheLoad) {
  const auto file = TorvFile()
                        .section(kSlotBlocks, blocks())
                        .section(kSlotDimStyles, dim_styles())
                        .section(kSlotTextStyles, text_styles())
                        .section(kSlotLayers, layers())
                        .section(kSlotSysVars, sysvar_section())
                        .section(kSlotEntities, entity_section(0, {}))
                        .build();
  // No section stops early: the shipped list walks the written sequence
  // exactly and every block record is read whole.
  std::vector<std::string> messages;
  KtTrvSetDiagnosticSink([](const char* m, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
                      &messages);
  ASSERT_TRUE(load(file));
  EXPECT_TRUE(messages.empty()) << messages.front();
  const std::vector<std::string> expected = {
      R"({"op":"api_kt_create_layer","args":["WALLS",255,3,false,true,true],"id":1})",
      R"({"op":"api_kt_create_layer","args":["",0,0,true,false,false],"id":2})",
      R"({"op":"api_kt_create_text_style","args":["NOTES","arial.ttf",".shx",2.5,0.8,1.5707963267948966,0,4,0],"id":3})",
      R"({"op":"api_kt_set_text_style_mark","args":[3,256]})",
      R"({"op":"api_kt_create_dim_style","args":["DIM1","DIM1_ALT",[-1,0,0],[260,4,0,0,3,0,0,0,0,1,0,0,0],)"
      R"([0,0.5,0,3.9,0,0,0,0,0,0,2,0,0,0,0,0]],"id":4})",
      R"({"op":"api_kt_create_block","args":["DOOR",[1,2,0]],"id":5})",
      R"({"op":"api_kt_end_block","args":[5]})",
      R"({"op":"api_kt_create_block","args":["EMPTY",[0,0,0]],"id":6})",
      R"({"op":"api_kt_end_block","args":[6]})",
  };
  EXPECT_EQ(trace, expected);
}

// Names longer than 31 characters reach the kernel whole where they are
// defined and where they are referenced, so two names that share their
// first 31 characters stay two names.
TEST_F(LoadTablesTrace, LongNamesAreDefinedAndReferencedWhole) {
  const std::string shared(31, 'N');
  const std::string a = shared + "_ALPHA1", b = shared + "_BRAVO2";  // 38 characters each
  Bytes layers_section = Bytes().u32(2);
  Bytes styles_section = Bytes().u32(2);
  Bytes dims_section = Bytes().u32(2);
  Bytes blocks_section = Bytes().u32(2);
  Bytes records;
  for (const std::string& name : {a, b}) {
    layers_section.i32(1).u8(0).u8(0).i16(1).u16(0).u16(0).str(name);
    styles_section.i32(1).u8(0).zeros(9).f64(1).f64(0).zeros(2).f64(1).i32(0).i32(0).zeros(8).str(name);
    dims_section.append(Bytes().i32(1).zeros(200).i32(1).zeros(8)).str(name).str(name + "_2");
    blocks_section.u32(0x20).str(name);
    records.append(entity(23, PropsBlock(), Bytes().i32(0x2).pt3(1, 2, 0).str(name)));
    records.append(entity(7, PropsBlock(), Bytes().pt3(1, 2, 0).f64(1).i32(1).f64(0).f64(1).f64(0).i32(1)
                                               .zeros(30).str("t").str(name)));
  }
  const auto file = TorvFile()
                        .section(kSlotLayers, layers_section)
                        .section(kSlotTextStyles, styles_section)
                        .section(kSlotDimStyles, dims_section)
                        .section(kSlotBlocks, blocks_section)
                        .section(kSlotEntities, entity_section(4, records))
                        .build();
  ASSERT_TRUE(load(file));
  // Definition (first argument) and reference (argument at) for each name.
  const struct {
    const char* defined;
    const char* referenced;
    std::size_t at;
  } pairs[] = {
      {"api_kt_create_block", "api_kt_create_insert", 5},
      {"api_kt_create_text_style", "api_kt_create_text", 1},
      {"api_kt_create_layer", nullptr, 0},
      {"api_kt_create_dim_style", nullptr, 0},
  };
  for (const auto& p : pairs) {
    SCOPED_TRACE(p.defined);
    const auto defined = ops(p.defined);
    ASSERT_EQ(defined.size(), 2u);
    EXPECT_EQ(defined[0]["args"][0], a);
    EXPECT_EQ(defined[1]["args"][0], b);
    if (p.referenced == nullptr) continue;
    const auto referenced = ops(p.referenced);
    ASSERT_EQ(referenced.size(), 2u);
    EXPECT_EQ(referenced[0]["args"][p.at], a);
    EXPECT_EQ(referenced[1]["args"][p.at], b);
  }
  EXPECT_EQ(ops("api_kt_create_dim_style")[1]["args"][1], b + "_2");
  EXPECT_EQ(count_of(drawing.blocks), 2);
}

}  // namespace
