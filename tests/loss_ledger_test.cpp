// A save never loses what a file held without saying so: for each kind of
// loss a file holds it with a value other than the default, and the save
// (as trv save makes it: the load's ledger, then the writer) names it with
// its count and writes nothing; the same file with the default value saves
// without a word.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "load/load.h"
#include "format/loss_ledger.h"
#include "kernel/kt_drawables.h"
#include "load/load_document.h"
#include "save/save_file.h"
#include "save/written_sections.h"
#include "tests/support/bytes.h"
#include "tests/support/legacy_builder.h"
#include "tests/support/temp_path.h"
#include "tests/support/torv_builder.h"

namespace {

namespace fs = std::filesystem;

// A property block whose uninterpreted fields hold zeros (the writer's).
struct Props {
  uint16_t flags = 0x11;
  int layer = 0, linetype = -1, color = 1;
  uint32_t value = 0;
  Bytes tail = Bytes();  // behind the colour: the fields of bits 5 to 11, already encoded
  Bytes bytes() const {
    Bytes b;
    b.u16(flags);
    if (flags & 0x1) b.i16(layer);
    if (flags & 0x2) b.i16(linetype);
    b.u32(value).u32(0);
    if (flags & 0x10) b.i16(color);
    return b.append(tail);
  }
};

Bytes record(int kind, const Props& p, const Bytes& payload) { return Bytes().i16(kind).append(p.bytes()).append(payload); }
Bytes line(const Props& p = {}, double z = 0.0) { return record(2, p, Bytes().pt3(0, 0, z).pt3(1, 1, 0)); }

// Kind 7 with its text; `second` is the unused second point's x.
Bytes text(double second = 0.0) {
  return record(7, {}, Bytes().pt3(1, 2, 0).f64(2.5).i32(1).f64(0).f64(1).zeros(8).i32(0).zeros(6).pt3(second, 0, 0).str("T"));
}
// Kind 11: string 1 when given, then string 2.
Bytes four_string_text(const std::string& first) {
  return record(11, {}, Bytes().pt3(1, 2, 0).f64(2.5).i32(first.empty() ? 0 : 1).i32(0).i32(1).zeros(4).f64(0).f64(1)
                            .zeros(8).i32(0).zeros(6).pt3(0, 0, 0).append(first.empty() ? Bytes() : Bytes().str(first))
                            .str("T"));
}
// Kind 23 with a block name, mask bits beyond it and their fields.
Bytes insert(uint32_t mask, const Bytes& fields) {
  return record(23, {}, Bytes().i32(mask | 0x2).pt3(1, 1, 0).str("B").append(fields));
}
Bytes attribute(const std::string& value) {
  return Bytes().u16(0).zeros(8).pt2(0, 0).zeros(16).i32(value.empty() ? 0 : 1).i32(0).zeros(4).f64(0).f64(0).zeros(8)
      .i32(0).zeros(6).pt2(0, 0).zeros(8).append(value.empty() ? Bytes() : Bytes().str(value));
}
Bytes dimension(double x12) {
  Bytes b = Bytes().i32(0).i32(0).i32(0).pt3(x12, 0, 0);
  for (int i = 0; i < 6; ++i) b.pt3(0, 0, 0);
  for (int i = 0; i < 6; ++i) b.f64(0);
  return record(18, {}, b.i16(0));
}
// Kind 13 with header flags and one vertex of the given mask and fields.
Bytes polyline(const Props& p, int32_t flags, uint32_t mask, const Bytes& fields) {
  return record(13, p, Bytes().zeros(26).i32(flags).zeros(24).i32(1).u32(1).u16(0).zeros(8).i32(mask).pt3(1, 1, 0)
                           .append(fields));
}
// Kind 28 of two points: a polyline (-1) or with extras (W > 0).
Bytes chain(int32_t extras, double extra) {
  Bytes b = Bytes().i32(2).u16(0).f64(0).i32(0).i32(extras).pt2(0, 0).pt2(1, 1);
  if (extras > 0) b.pt3(extra, 0, 0).pt3(0, 0, 0);
  return record(28, {}, b);
}

std::vector<unsigned char> with_entities(const std::vector<Bytes>& records, TorvFile file = TorvFile("HALD 2002")) {
  Bytes all;
  for (const Bytes& r : records) all.append(r);
  return file.section(kSlotEntities, Bytes().u32(records.size()).append(all)).build();
}
std::vector<unsigned char> with_section(TorvSlot slot, const Bytes& body) {
  return with_entities({line()}, TorvFile("HALD 2002").section(slot, body));
}
Bytes layer_table(int flags, int colour) {
  return Bytes().u32(1).i32(1).u8(flags).u8(0).i16(colour).u16(1).zeros(2).str("L");
}
Bytes style_table(int at5, const std::string& font) {
  Bytes b = Bytes().u32(1).i32(1).u8(0).u8(at5).zeros(8).f64(1).f64(0).zeros(2).f64(2.5).i32(1).i32(0).zeros(8);
  b.str("S").str(font);
  return font.find(".ttf") != std::string::npos || font.find(".TTF") != std::string::npos ? b.str("") : b;
}
Bytes dim_style_table(const std::string& dropped) {
  Bytes rec = Bytes().i32(1).zeros(2).i32(dropped.empty() ? 0 : 1).zeros(16).f64(1.0).zeros(216 - 34);
  return Bytes().u32(1).append(rec).str("D").append(dropped.empty() ? Bytes() : Bytes().str(dropped));
}
Bytes block_section(uint32_t flags, const Bytes& fields, const std::vector<Bytes>& records = {}) {
  Bytes b = Bytes().u32(1).u32(flags | 0x120).append(fields).str("B");
  if (flags & 0x40) b.str("about");
  Bytes all;
  for (const Bytes& r : records) all.append(r);
  return b.u32(records.size()).append(all);
}
std::vector<unsigned char> with_blocks(const Bytes& section) {
  return with_entities({line()}, TorvFile("HALD 2002").section(kSlotBlocks, section));
}
std::vector<unsigned char> with_sysvars(int entry0) {
  std::string s = written_sysvar_section();
  s[8] = static_cast<char>(entry0);
  return with_section(kSlotSysVars, Bytes().raw(s));
}
std::vector<unsigned char> with_header_word(int value) {
  std::vector<unsigned char> b = with_entities({line()});
  b[16] = static_cast<unsigned char>(value);
  return b;
}
// A legacy file whose own header fields (the point and reals) are zeros.
std::vector<unsigned char> legacy(LegacyFile file) {
  std::vector<unsigned char> b = file.build();
  const std::size_t trailer = file.sysvars_offset() - kLegacyTrailerSize;
  std::fill(b.begin() + static_cast<std::ptrdiff_t>(trailer), b.begin() + static_cast<std::ptrdiff_t>(trailer + kLegacyTrailerSize), 0);
  return b;
}

struct Case {
  const char* name;
  std::vector<std::pair<Loss, uint64_t>> lost;
  // The file with the value held (true) or with its default (false).
  std::function<std::vector<unsigned char>(bool)> file;
};

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"attributes", {{Loss::attribute_record, 2}, {Loss::attribute_string, 1}},
       [](bool held) {
         return with_entities({held ? insert(0x400, Bytes().u32(2).append(attribute("7")).append(attribute(""))) : insert(0, {})});
       }},
      {"four-string text in a block", {{Loss::block_text, 1}},
       [](bool held) { return with_blocks(block_section(0x100, {}, {held ? four_string_text("") : text()})); }},
      {"four-string text strings", {{Loss::text_string, 1}},
       [](bool held) { return with_entities({four_string_text(held ? "first" : "")}); }},
      {"records that create nothing", {{Loss::passed_record, 2}},
       [](bool held) {
         return with_entities(held ? std::vector<Bytes>{line(), record(17, {}, Bytes().zeros(98)), record(99, {}, {})}
                                   : std::vector<Bytes>{line()});
       }},
      {"xdata", {{Loss::xdata_list, 1}, {Loss::xdata_item, 2}},
       [](bool held) {
         Props p{.flags = 0x91, .tail = held ? Bytes().u32(2).i16(1000).str("app").i16(1070).i16(4) : Bytes().u32(0)};
         return with_entities({line(p)});
       }},
      {"blobs", {{Loss::blob_list, 1}},
       [](bool held) {
         Props p{.flags = 0x811, .tail = held ? Bytes().u32(1).zeros(12).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0) : Bytes().u32(0)};
         return with_entities({line(p)});
       }},
      {"line type number", {{Loss::line_type_number, 1}},
       [](bool held) { return with_entities({line(Props{.flags = 0x13, .linetype = held ? 5 : -1})}); }},
      {"by-layer colour", {{Loss::by_layer_colour, 2}},
       [](bool held) {
         return with_entities(held ? std::vector<Bytes>{line(Props{.flags = 0x01}), line(Props{.color = 256})}
                                   : std::vector<Bytes>{line(), line()});
       }},
      {"by-block colour", {{Loss::by_block_colour, 1}},
       [](bool held) { return with_entities({line(Props{.color = held ? 0 : 7})}); }},
      {"colour number sharing a value", {{Loss::colour_number, 1}},
       [](bool held) { return with_entities({line(Props{.color = held ? 10 : 1})}); }},  // 10 and 1 are both red
      {"extrusion", {{Loss::extrusion, 1}},
       [](bool held) {
         return with_entities({line(Props{.flags = 0x51, .tail = Bytes().u8(0).u8(0).u8(1).f64(held ? 1.0 : 0.0)})});
       }},
      {"property values", {{Loss::property_value, 1}},
       [](bool held) { return with_entities({line(Props{.value = held ? 0x1234u : 0u})}); }},
      {"z coordinate", {{Loss::flat_z, 1}}, [](bool held) { return with_entities({line({}, held ? 3.0 : 0.0)}); }},
      {"polyline layer", {{Loss::polyline_props, 1}},
       [](bool held) { return with_entities({polyline(Props{.flags = 0x01, .layer = held ? 2 : 0}, 0, 0x8, Bytes().i16(0))}); }},
      {"polyline header", {{Loss::polyline_field, 1}},
       [](bool held) { return with_entities({polyline(Props{.flags = 0}, held ? 1 : 0, 0x8, Bytes().i16(0))}); }},
      {"vertex chain extras", {{Loss::polyline_field, 1}},
       [](bool held) { return with_entities({chain(held ? 1 : -1, 0.5)}); }},
      {"vertex values", {{Loss::vertex_value, 1}},
       [](bool held) {
         return with_entities({polyline(Props{.flags = 0}, 0, held ? 0x9 : 0x8, held ? Bytes().f64(0.5).i16(0) : Bytes().i16(0))});
       }},
      {"point field", {{Loss::point_field, 1}},
       [](bool held) { return with_entities({record(1, {}, Bytes().pt3(1, 2, 0).f64(held ? 9.0 : 0.0))}); }},
      {"text field", {{Loss::text_field, 1}}, [](bool held) { return with_entities({text(held ? 4.0 : 0.0)}); }},
      {"insert z scale", {{Loss::insert_field, 1}},
       [](bool held) { return with_entities({insert(0x10, Bytes().f64(held ? 2.0 : 1.0).f64(0))}); }},
      {"dimension point", {{Loss::dimension_point, 1}},
       [](bool held) { return with_entities({dimension(held ? 5.0 : 0.0)}); }},
      {"layer flags", {{Loss::layer_field, 1}}, [](bool held) { return with_section(kSlotLayers, layer_table(held ? 2 : 0, 1)); }},
      {"layer colour sharing a value", {{Loss::layer_field, 1}},
       [](bool held) { return with_section(kSlotLayers, layer_table(0, held ? 10 : 1)); }},
      {"text style bytes", {{Loss::text_style_field, 1}},
       [](bool held) { return with_section(kSlotTextStyles, style_table(held ? 3 : 0, "arial.ttf")); }},
      {"font name", {{Loss::font_name, 1}},
       [](bool held) { return with_section(kSlotTextStyles, style_table(0, held ? "C:\\Fonts\\ARIAL.TTF" : "arial.ttf")); }},
      {"dimension style string", {{Loss::dim_style_field, 1}},
       [](bool held) { return with_section(kSlotDimStyles, dim_style_table(held ? "x" : "")); }},
      {"block strings", {{Loss::block_string, 1}},
       [](bool held) { return with_blocks(block_section(held ? 0x40 : 0, {})); }},
      {"block values", {{Loss::block_value, 1}},
       [](bool held) { return with_blocks(block_section(0x8, Bytes().i16(held ? 3 : 0))); }},
      {"system variables", {{Loss::system_variable, 1}}, [](bool held) { return with_sysvars(held ? 5 : 0); }},
      {"unread viewport table", {{Loss::unread_section, 1}},
       [](bool held) {
         const KT_Drawing none;
         return with_section(kSlotViewports, held ? Bytes().u32(0) : Bytes().raw(written_unread_table(kSlotViewports, none)));
       }},
      {"a record the table's count leaves out", {{Loss::unread_section, 1}},
       [](bool held) {
         Bytes table = layer_table(0, 1);
         if (held) table.i32(1).u8(0).u8(0).i16(1).u16(1).zeros(2).str("M");
         return with_section(kSlotLayers, table);
       }},
      {"closing dictionaries", {{Loss::unread_section, 1}},
       [](bool held) { return with_entities({line()}, TorvFile("HALD 2002").tail(Bytes().raw(held ? "Dictionary" : written_closing()))); }},
      {"tags behind the entity section", {{Loss::unread_section, 1}},
       [](bool held) { return with_entities({line()}, TorvFile("HALD 2002").tail(Bytes().raw(held ? "#RM_LayeR#RM_LayeR" : ""))); }},
      {"header", {{Loss::header_field, 1}}, [](bool held) { return with_header_word(held ? 1 : 0); }},
      {"legacy layers and line types", {{Loss::legacy_layer, 2}, {Loss::legacy_line_type, 1}},
       [](bool held) {
         return legacy(held ? LegacyFile().table(kLegacyLayers, 2).table(kLegacyLineTypes, 1) : LegacyFile());
       }},
      {"legacy entities", {{Loss::legacy_entity, 2}},
       [](bool held) {
         return legacy(held ? LegacyFile().entities(Bytes().append(legacy_entity(1)).append(legacy_entity(13))) : LegacyFile());
       }},
      {"legacy system variables", {{Loss::legacy_system_variable, 2}},
       [](bool held) {
         return legacy(LegacyFile().sysvars(held ? Bytes().i16(2).u8(1).u32(0).u8(4).f64(1) : Bytes().i16(0)));
       }},
      {"legacy text styles", {{Loss::legacy_text_style, 1}},
       [](bool held) { return legacy(held ? LegacyFile().table(kLegacyTextStyles, 1) : LegacyFile()); }},
      {"legacy blocks", {{Loss::legacy_block, 2}},
       [](bool held) { return legacy(held ? LegacyFile().table(kLegacyBlocks, 2) : LegacyFile()); }},
      {"legacy preview", {{Loss::legacy_header, 1}},
       [](bool held) { return legacy(held ? LegacyFile().preview(0, 4) : LegacyFile()); }},
  };
  return all;
}

class LossLedgerTest : public ::testing::Test {
 protected:
  // One folder per test: ctest runs the tests of this fixture side by side.
  fs::path dir = test_temp_path(std::string("kttrv-loss-") +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  // Loads the bytes as trv save does and saves them without --allow-loss.
  SaveReport save(const std::vector<unsigned char>& bytes, bool& saved) {
    const fs::path in = dir / "in.trv";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    fs::remove(dir / "out.trv");
    KT_Drawing drawing;
    kttrv::LoadOptions load;
    load.note_losses = true;
    const kttrv::LoadResult loaded = kttrv::load_drawing(kttrv::LoadSource::file(in.string()), drawing, load);
    EXPECT_TRUE(loaded.loaded);
    SaveOptions options;
    options.allow_loss = false;
    options.file_losses = &loaded.losses;
    SaveReport report;
    saved = save_drawing_file(drawing, (dir / "out.trv").string().c_str(), options, report);
    return report;
  }
};

// Every kind a load notes has its case above.
TEST(LossKinds, EveryKindALoadNotesIsTested) {
  for (auto k = static_cast<std::size_t>(Loss::passed_record); k < kLossKinds; ++k) {
    bool tested = false;
    for (const Case& c : cases())
      for (const auto& [what, n] : c.lost) tested |= what == static_cast<Loss>(k);
    EXPECT_TRUE(tested) << loss_name(static_cast<Loss>(k));
  }
}

TEST_F(LossLedgerTest, EveryKindIsNamedWithItsCountAndRefused) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    bool saved = true;
    const SaveReport held = save(c.file(true), saved);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(fs::exists(dir / "out.trv"));
    // Exactly the kinds of the case, each with its count: no kind twice.
    LossLedger expected;
    for (const auto& [what, n] : c.lost) {
      expected.note(what, "", 0, 0, n);
      EXPECT_NE(held.error.find(std::to_string(n) + " " + loss_name(what)), std::string::npos) << held.error;
    }
    EXPECT_EQ(held.loss_summary(), expected.summary());
    const SaveReport plain = save(c.file(false), saved);
    EXPECT_TRUE(saved) << plain.error;
    EXPECT_TRUE(plain.lossless()) << plain.loss_summary();
  }
}

// The first place of a kind is where it was first met, and a ledger adds
// another's counts while keeping its own first places.
TEST_F(LossLedgerTest, FirstPlaceIsKept) {
  bool saved = false;
  const SaveReport report = save(with_entities({line(), line(Props{.color = 0}), line(Props{.color = 0})}), saved);
  const LossPlace& at = report.losses.first[static_cast<std::size_t>(Loss::by_block_colour)];
  EXPECT_EQ(at.section, "entities");
  EXPECT_EQ(at.record, 1u);
  EXPECT_EQ(at.offset, 88 + 4 + 64);  // behind the header, the count and one 64-byte line
  LossLedger more;
  more.note(Loss::by_block_colour, "layers", 9, 9);
  LossLedger sum = report.losses;
  sum.add(more);
  EXPECT_EQ(sum.count(Loss::by_block_colour), 3u);
  EXPECT_EQ(sum.first[static_cast<std::size_t>(Loss::by_block_colour)].record, 1u);
}

}  // namespace

namespace {

// A host of the exported calls alone hears of the losses from its save,
// through the diagnostic sink it installed before the load; the save still
// writes, as it always did.
TEST_F(LossLedgerTest, ExportedSaveTellsTheSink) {
  const std::vector<unsigned char> bytes = with_entities({line(Props{.color = 0})});
  const fs::path in = dir / "in.trv";
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  std::vector<std::string> heard;
  KtTrvSetDiagnosticSink([](const char* line, void* into) { static_cast<std::vector<std::string>*>(into)->push_back(line); },
                         &heard);
  KT_Drawing drawing;
  KT_Drawing* target = &drawing;
  CString path(in.string());
  ASSERT_TRUE(LoadTORVDocument(-1, path, target));
  KT_Drawing* const before = g_current_drawing;
  g_current_drawing = &drawing;
  std::string out = (dir / "out.trv").string();
  EXPECT_TRUE(api_kt_save_trv(out.data()));
  g_current_drawing = before;
  KtTrvSetDiagnosticSink(nullptr, nullptr);
  EXPECT_TRUE(fs::exists(out));
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.back(), "save: " + out + ": not kept: 1 by-block colours");
}

}  // namespace
