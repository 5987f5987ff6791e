#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "save/save_document.h"
#include "save/sysvar_forms.h"
#include "save/sysvar_writer.h"
#include "save/write_primitives.h"
#include "tests/support/bytes.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/written_file.h"

namespace {

class WriterLayout : public DrawingTest {
 protected:
  // The section behind the tag that directory slot `slot` points at.
  std::vector<unsigned char> section(const std::vector<unsigned char>& file, int slot, std::size_t n) {
    return bytes_at(file, static_cast<std::size_t>(int32_at(file, static_cast<std::size_t>(slot))), n);
  }
};

TEST_F(WriterLayout, HeaderRecord) {
  const auto file = written_bytes(drawing);
  ASSERT_GE(file.size(), 336u);
  EXPECT_EQ(file[0], 0);
  EXPECT_EQ(file[1], 11);
  EXPECT_EQ(text_at(file, 2, 14), std::string("HALD 2002\0\0\0\0\0", 14));
  EXPECT_EQ(bytes_at(file, 16, 24), std::vector<unsigned char>(24, 0));
  EXPECT_EQ(int32_at(file, 72), -1);
  EXPECT_EQ(int32_at(file, 80), -1);
  EXPECT_EQ(int32_at(file, 88), 336);
  EXPECT_EQ(int32_at(file, 92), 0);
  EXPECT_EQ(bytes_at(file, 96, 8),
            (std::vector<unsigned char>{0xB5, 0xF0, 0x31, 0x01, 0xB5, 0xF0, 0x31, 0x01}));
  EXPECT_EQ(bytes_at(file, 104, 232), std::vector<unsigned char>(232, 0));
}

// Every byte of an empty drawing's file: tags in order, each section's size,
// and every slot pointing just behind its tag.
TEST_F(WriterLayout, SectionsFollowTheirTagsInOrder) {
  struct Section {
    const char* tag;
    int slot;  // 0: no slot names this section
    std::size_t size;
  } sections[] = {
      {"#RM_VariAq", 40, 1803}, {"#RM_VporT", 44, 239}, {"#RM_LtypeE", 48, 120},
      {"#RM_StylE", 56, 4 + 56 + 10 + 6 + 6}, {"#RM_LayeR", 52, 4 + 12 + 3}, {"#RM_VievT", 60, 4},
      {"#RM_Ucs_T", 64, 4}, {"#RM_AppiD", 0, 0}, {"#RM_DimsT", 0, 0},
      {"#RM_BlocK", 68, 4}, {"#RM_EntI#", 84, 4}, {"GroupDic", 0, 11}, {"AppDataDic", 0, 9},
  };
  const auto file = written_bytes(drawing);
  std::size_t at = 336;
  for (const Section& s : sections) {
    const std::size_t tag_size = std::strlen(s.tag);
    ASSERT_EQ(text_at(file, at, tag_size), s.tag) << "at byte " << at;
    at += tag_size;
    if (s.slot != 0) {
      EXPECT_EQ(int32_at(file, static_cast<std::size_t>(s.slot)), static_cast<int32_t>(at)) << s.tag;
    }
    at += s.size;
  }
  EXPECT_EQ(at, file.size());
  EXPECT_EQ(text_at(file, 2149, 9), "#RM_VporT");
  EXPECT_EQ(int32_at(file, 76), -1);
  EXPECT_EQ(bytes_at(file, file.size() - 9, 9), std::vector<unsigned char>(9, 0));
}

TEST_F(WriterLayout, SystemVariableSection) {
  // The transcribed forms hold the documented numbers of each kind.
  const std::string forms = kSysVarForms;
  ASSERT_EQ(forms.size(), 309u);
  const std::pair<char, long> kinds[] = {{'W', 162}, {'L', 4}, {'D', 58}, {'P', 9}, {'T', 33}, {'S', 43}};
  for (auto [form, n] : kinds) EXPECT_EQ(std::count(forms.begin(), forms.end(), form), n) << form;

  std::vector<unsigned char> out;
  TorvWriter w;
  w.memory = &out;
  write_sysvar_section(w);
  writer_flush(w);
  ASSERT_EQ(out.size(), static_cast<std::size_t>(kSysVarSectionSize));
  EXPECT_EQ(bytes_at(out, 0, 8), (std::vector<unsigned char>{0xE3, 0xC7, 0x98, 0xC3, 0x22, 0xB2, 0x42, 0x41}));

  // Walk the entries: only the documented ones hold anything.
  const std::map<char, std::size_t> width = {{'W', 2}, {'L', 4}, {'D', 8}, {'P', 16}, {'T', 24}};
  std::size_t at = 8;
  std::map<int, std::vector<unsigned char>> non_zero;
  for (int entry = 0; entry < 309; ++entry) {
    const char form = forms[static_cast<std::size_t>(entry)];
    const std::size_t n = form == 'S' ? std::strlen(reinterpret_cast<const char*>(out.data() + at)) + 1
                                      : width.at(form);
    auto value = bytes_at(out, at, n);
    if (value != std::vector<unsigned char>(n, 0)) non_zero[entry] = value;
    at += n;
  }
  EXPECT_EQ(at, out.size());
  const std::map<int, std::vector<unsigned char>> expected = {
      {3, {1, 0}}, {4, {1, 0}}, {5, {1, 0}}, {11, {0, 1}},
      {12, {'B', 'y', 'l', 'a', 'y', 'e', 'r', 0}}, {16, {'Q', 'S', 'A', 'V', 'E', 0}},
  };
  EXPECT_EQ(non_zero, expected);
  EXPECT_EQ(bytes_at(out, out.size() - 24, 24), std::vector<unsigned char>(24, 0));
}

TEST_F(WriterLayout, ViewportTableIsFixed) {
  Bytes expected;
  expected.i32(1).i32(1).i16(0).zeros(16).f64(100.0).f64(100.0).f64(50.0).f64(50.0).zeros(96);
  expected.f64(100.0).zeros(8).f64(100.0).zeros(32).zeros(20).str("*ACTIVE");
  ASSERT_EQ(expected.size(), 239u);
  EXPECT_EQ(section(written_bytes(drawing), 44, 239), expected.data());
  kt_append_line_type(drawing);
  kt_append_block(drawing);
  EXPECT_EQ(section(written_bytes(drawing), 44, 239), expected.data());
}

TEST_F(WriterLayout, LineTypeTableOnlyWithoutLineTypes) {
  Bytes expected;
  expected.i32(1).i32(1).i16(64).i32(1).i16(65).zeros(80).str("CONTINUOUS").str("Solid Line");
  ASSERT_EQ(expected.size(), 120u);
  EXPECT_EQ(section(written_bytes(drawing), 48, 120), expected.data());

  kt_append_line_type(drawing);  // the kernel's unnamed default holds nothing of its own
  EXPECT_EQ(section(written_bytes(drawing), 48, 120), expected.data());
  kt_append_line_type(drawing)->name = "DASHED";
  const auto file = written_bytes(drawing);
  EXPECT_EQ(text_at(file, static_cast<std::size_t>(int32_at(file, 48)), 9), "#RM_StylE");
}

TEST_F(WriterLayout, LayerTableWithoutLayers) {
  Bytes expected;
  expected.i32(1).i32(1).u8(0).u8(0).i16(1).i16(1).i16(0).str("0");
  EXPECT_EQ(section(written_bytes(drawing), 52, 19), expected.data());
  EXPECT_EQ(text_at(written_bytes(drawing), 2149 + 9 + 239 + 10 + 120 + 9 + 82 + 9 + 19, 9), "#RM_VievT");
}

TEST_F(WriterLayout, CountOnlyTables) {
  for (int i = 0; i < 3; ++i) kt_append_text_style(drawing);
  for (int i = 0; i < 2; ++i) kt_append_block(drawing);
  const auto file = written_bytes(drawing);
  EXPECT_EQ(int32_at(file, static_cast<std::size_t>(int32_at(file, 60))), 3);  // views: the text style count
  EXPECT_EQ(section(file, 64, 4), std::vector<unsigned char>(4, 0));            // UCS
  EXPECT_EQ(int32_at(file, static_cast<std::size_t>(int32_at(file, 68))), 2);  // blocks
  EXPECT_EQ(int32_at(file, static_cast<std::size_t>(int32_at(file, 56))), 3);  // text styles
}

// Slots 76 and 80 lead to their sections only when the drawing has
// dimension styles and blocks; the block definitions follow the block
// table's count, the entity count follows its tag.
TEST_F(WriterLayout, DimensionStyleAndBlockSectionsOnlyWhenHeld) {
  const long longs[KT_Dim_Style::kLongs] = {};
  const short shorts[KT_Dim_Style::kShorts] = {};
  const double reals[KT_Dim_Style::kReals] = {};
  auto file = written_bytes(drawing);
  EXPECT_EQ(int32_at(file, 76), -1);
  EXPECT_EQ(int32_at(file, 80), -1);
  EXPECT_EQ(text_at(file, static_cast<std::size_t>(int32_at(file, 68)) - 18, 18), "#RM_DimsT#RM_BlocK");
  const auto entities = static_cast<std::size_t>(int32_at(file, 84));
  EXPECT_EQ(text_at(file, entities - 9, 9), "#RM_EntI#");
  EXPECT_EQ(int32_at(file, entities), 0);
  EXPECT_EQ(text_at(file, entities + 4, 8), "GroupDic");

  api_kt_create_dim_style("D", "", longs, shorts, reals);
  KT_Block* block = nullptr;
  const double base[3] = {1.0, 2.0, 3.0};
  api_kt_create_block(block, "B", base);
  api_kt_end_block(block);
  file = written_bytes(drawing);
  const auto dims = static_cast<std::size_t>(int32_at(file, 76));
  EXPECT_EQ(text_at(file, dims - 9, 9), "#RM_DimsT");
  EXPECT_EQ(int32_at(file, dims), 1);
  const auto blocks = static_cast<std::size_t>(int32_at(file, 80));
  EXPECT_EQ(blocks, static_cast<std::size_t>(int32_at(file, 68)) + 4);
  Bytes expected;
  expected.u32(1).u32(0x127).pt3(1.0, 2.0, 3.0).str("B").u32(0).raw("#RM_EntI#");
  EXPECT_EQ(bytes_at(file, blocks, expected.size()), expected.data());
}

TEST(WritePrimitives, WriteTheDocumentedBytes) {
  std::vector<unsigned char> out;
  TorvWriter w;
  w.memory = &out;
  write_tag(w, "#T");
  write_tag(w, nullptr);
  write_int16(w, -2);
  write_int32(w, 20050101);
  write_pt2(w, 1.0, 2.0);
  write_pt3(w, 3.0, 4.0, 5.0);
  write_zeros(w, 3);
  write_counted_string(w, "ab");
  write_counted_string(w, "");
  write_counted_string(w, nullptr);
  write_cstring(w, "cd");
  write_cstring(w, nullptr);
  writer_flush(w);
  Bytes expected;
  expected.raw("#T").i16(-2).i32(20050101).pt2(1, 2).pt3(3, 4, 5).zeros(3).str("ab").str("").cstr("cd");
  EXPECT_EQ(out, expected.data());
  EXPECT_EQ(w.position, static_cast<int32_t>(out.size()));
  EXPECT_TRUE(w.ok);
}

TEST(WritePrimitives, CountedStringBeyondAnInt16IsCut) {
  std::vector<unsigned char> out;
  TorvWriter w;
  w.memory = &out;
  write_counted_string(w, std::string(40000, 'x').c_str());
  writer_flush(w);
  ASSERT_EQ(out.size(), 2u + 32767u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0x7F);
}

class SaveEntry : public DrawingTest {
 protected:
  std::vector<unsigned char> file_bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

TEST_F(SaveEntry, WritesTheFileAndReportsSuccess) {
  kt_append_line_type(drawing);
  std::string path = (dir / "out.trv").string();
  std::ofstream(path) << "previous content that is longer than nothing";
  EXPECT_TRUE(api_kt_save_trv(path.data()));
  EXPECT_EQ(file_bytes(path), written_bytes(drawing));
}

TEST_F(SaveEntry, NoCurrentDrawingWritesNothing) {
  g_current_drawing = nullptr;
  std::string path = (dir / "none.trv").string();
  EXPECT_FALSE(api_kt_save_trv(path.data()));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(api_kt_save_trv(nullptr));
}

TEST_F(SaveEntry, FailuresToOpenOrWriteAreReported) {
  std::string missing_dir = (dir / "no such folder" / "x.trv").string();
  EXPECT_FALSE(api_kt_save_trv(missing_dir.data()));
  std::string directory = dir.string();
  EXPECT_FALSE(api_kt_save_trv(directory.data()));
  if (std::filesystem::exists("/dev/full")) {
    std::string full = "/dev/full";
    EXPECT_FALSE(api_kt_save_trv(full.data()));
  }
}

}  // namespace
