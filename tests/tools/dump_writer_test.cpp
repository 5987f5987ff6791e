// trv dump's JSON: every test drawing's objects in their order, awkward
// values read back, and the writer's reals against std::to_chars.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "format/json_real.h"
#include "kernel/kt_drawables.h"
#include "load/load.h"
#include "load/load_document.h"
#include "host/zirida_host.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/sample_drawing.h"
#include "tests/support/torv_builder.h"
#include "view/dump_writer.h"
#include "view/stored_entity.h"

namespace {

// What a writer puts into a stream (a temporary file: every platform has one).
template <class F>
std::string written(F write) {
  std::FILE* f = std::tmpfile();
  if (f == nullptr) {
    ADD_FAILURE() << "no temporary file";
    return {};
  }
  {
    kttrv::view::JsonOut out(f);
    write(out);
    EXPECT_TRUE(out.flush());
  }
  std::string text;
  std::rewind(f);
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  std::fclose(f);
  return text;
}

std::vector<unsigned char> file_bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The ids of a collection, in its order.
std::vector<long> ids(const KT_Collection& c) {
  std::vector<long> out;
  for (const KT_Object* o = c.first; o; o = o->next) out.push_back(o->id);
  return out;
}

std::vector<long> ids(const nlohmann::json& array) {
  std::vector<long> out;
  for (const auto& element : array) out.push_back(element.at("id").get<long>());
  return out;
}

class DumpWriterTest : public DrawingTest {
 protected:
  nlohmann::json dump(const KT_Drawing& d, const kttrv::view::DumpHeader& header = {"TORV \xc3\xa9", 9}) {
    const std::string streamed = written([&](kttrv::view::JsonOut& out) { kttrv::view::write_dump(d, header, out); });
    return nlohmann::json::parse(streamed);
  }

  // Every collection lists the drawing's objects in its order; every drawable
  // its id, kind and the three values set on it.
  void expect_drawing(const KT_Drawing& d, const nlohmann::json& j, const std::string& what) {
    static const char* const kKinds[] = {"point", "line", "solid", "circle", "arc",
                                         "text", "insert", "dimension", "polyline", "point_set"};
    EXPECT_EQ(ids(j.at("layers")), ids(d.layers)) << what;
    EXPECT_EQ(ids(j.at("text_styles")), ids(d.text_styles)) << what;
    EXPECT_EQ(ids(j.at("dim_styles")), ids(d.dim_styles)) << what;
    EXPECT_EQ(ids(j.at("line_types")), ids(d.line_types)) << what;
    EXPECT_EQ(ids(j.at("blocks")), ids(d.blocks)) << what;
    auto expect_list = [&](const KT_Entity_List& list, const nlohmann::json& array) {
      std::size_t i = 0;
      for (const KT_Drawable* e = list.first; e; e = e->next, ++i) {
        ASSERT_LT(i, array.size()) << what;
        const auto& o = array[i];
        EXPECT_EQ(o.at("id"), e->id) << what;
        EXPECT_EQ(o.at("kind"), kKinds[static_cast<int>(e->kind)]) << what;
        EXPECT_EQ(o.at("color"), e->color) << what;
        EXPECT_EQ(o.at("third"), e->third) << what;
        EXPECT_EQ(o.at("layer"), e->layer) << what;
      }
      EXPECT_EQ(i, array.size()) << what;
    };
    expect_list(d.model_space, j.at("model_space"));
    std::size_t b = 0;
    for (const KT_Object* o = d.blocks.first; o; o = o->next, ++b)
      expect_list(static_cast<const KT_Block*>(o)->entities, j.at("blocks").at(b).at("entities"));
  }
};

// The streamed dump of every sample, example and corpus drawing reads as JSON
// and holds the drawing's objects in its order.
TEST_F(DumpWriterTest, EveryTestDrawingDumpsItsObjects) {
  std::vector<std::pair<std::string, std::vector<unsigned char>>> drawings;
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"})
    drawings.emplace_back(std::string("sample ") + version, sample::full_drawing(version).build());
  for (const char* folder : {EXAMPLES_DIR, CORPUS_DIR})
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.is_regular_file()) drawings.emplace_back(entry.path().string(), file_bytes(entry.path()));
  ASSERT_GT(drawings.size(), 10u);
  for (const auto& [what, bytes] : drawings) {
    KT_Drawing fresh;
    g_current_drawing = &fresh;
    load_torv_buffer(-1, bytes.data(), bytes.size(), fresh);
    nlohmann::json j;
    ASSERT_NO_THROW(j = dump(fresh)) << what;
    expect_drawing(fresh, j, what);
    g_current_drawing = &drawing;
  }
}

// Values no file of the tests carries: every byte in strings, null strings,
// the reals JSON cannot hold and those at the edges of the format.
TEST_F(DumpWriterTest, AwkwardValuesReadBack) {
  std::string every_byte, as_utf8;
  for (int b = 1; b < 256; ++b) {
    every_byte += static_cast<char>(b);
    if (b < 0x80) as_utf8 += static_cast<char>(b);
    else as_utf8 += {static_cast<char>(0xC0 | (b >> 6)), static_cast<char>(0x80 | (b & 0x3F))};
  }
  KT_Layer* layer = nullptr;
  api_kt_create_layer(layer, every_byte.c_str(), -1, 3, false, true, false);
  const double awkward[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(), -0.0, 0.1, 1e21, 1e-7,
                            std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                            123456789012345678.0};
  for (double v : awkward) {
    const double p[3] = {v, -v, 0.0};
    KT_Drawable* line = nullptr;
    api_kt_create_line(line, p, p);
    api_set_drawable_prop(line, -1, std::numeric_limits<long>::min(), 0);
    KT_Drawable* text = nullptr;
    api_kt_create_text(text, every_byte.c_str() + 100, nullptr, p, v, v, v);
  }
  KT_Drawable* empty_polyline = nullptr;
  api_kt_create_polyline(empty_polyline, 0, true);

  const nlohmann::json j = dump(drawing, {"legacy", -1});
  expect_drawing(drawing, j, "awkward values");
  EXPECT_EQ(j.at("version"), "legacy");
  EXPECT_TRUE(j.at("generation").is_null());
  EXPECT_EQ(j.at("layers").at(0).at("name"), as_utf8);
  const auto& model = j.at("model_space");
  for (std::size_t i = 0; i < std::size(awkward); ++i) {
    const double v = awkward[i];
    const auto& line = model.at(2 * i);
    const auto& text = model.at(2 * i + 1);
    EXPECT_EQ(line.at("layer_name"), as_utf8);
    EXPECT_EQ(text.at("text"), as_utf8.substr(as_utf8.find('e')));
    EXPECT_TRUE(text.at("style").is_null());
    for (const auto& [value, expected] : {std::pair{line.at("start").at(0), v}, {line.at("end").at(1), -v}}) {
      if (std::isnan(expected)) EXPECT_EQ(value, "nan");
      else if (std::isinf(expected)) EXPECT_EQ(value, expected > 0 ? "inf" : "-inf");
      else EXPECT_EQ(std::bit_cast<uint64_t>(value.get<double>()), std::bit_cast<uint64_t>(expected)) << value;
    }
  }
  EXPECT_EQ(model.back().at("vertices"), nlohmann::json::array());
  EXPECT_EQ(model.back().at("closed"), true);
}

// An attribute record: a bare property block, 102 bytes (first point at 0,
// presence fields at 32, 36 and 68, angle at 44, height at 52, second point
// at 78), then a counted string per non-zero presence field.
Bytes attribute_record(double x, double y, double angle, double height, std::array<int32_t, 3> present,
                       const std::vector<std::string>& strings) {
  Bytes b = PropsBlock().bytes();
  b.pt2(x, y).zeros(16).i32(present[0]).i32(present[1]).zeros(4).f64(angle).f64(height).zeros(8);
  b.i32(present[2]).zeros(6).pt2(x + 1, y + 1).zeros(8);
  for (const auto& s : strings) b.str(s);
  return b;
}

// A model space of: a record that makes nothing, a line with xdata and a
// stored line type, an insert by layer with two attributes, another record
// that makes nothing, a point by block.
struct CarriedFile {
  Bytes passed_first = entity(57, PropsBlock().layer(4));
  Bytes passed_later = entity(57, PropsBlock().layer(5));
  std::vector<unsigned char> build() const {
    Bytes records;
    records.append(passed_first);
    Bytes xdata;
    xdata.i16(1001).str("APP").i16(1040).f64(2.5).i16(1010).pt3(1, 2, 3).i16(1070).i16(-3).i16(1071).i32(100000);
    xdata.i16(1006);
    records.append(entity(2, PropsBlock().layer(0).linetype(3).color(1).xdata(6, xdata),
                          Bytes().pt3(0, 0, 0).pt3(1, 1, 0)));
    Bytes insert = Bytes().i32(0x2 | 0x10 | 0x400).pt3(5, 6, 0).str("DOOR").f64(7).f64(0).u32(2);
    insert.append(attribute_record(1, 2, 45, 2.5, {1, 0, 1}, {"TAG", "VALUE"}));
    insert.append(attribute_record(3, 4, 90, 0.5, {0, 1, 0}, {"ONLY"}));
    records.append(entity(23, PropsBlock().color(256), insert));
    records.append(passed_later);
    records.append(entity(1, PropsBlock().color(0), Bytes().pt2(9, 9).zeros(16)));
    TorvFile file;
    file.section(kSlotEntities, entity_section(5, records));
    return file.build();
  }
};

// Two lower-case hexadecimal digits a byte.
std::string hex(const Bytes& b) {
  std::string s;
  char two[3];
  for (unsigned char c : b.data()) {
    std::snprintf(two, sizeof two, "%02x", c);
    s += two;
  }
  return s;
}

TEST_F(DumpWriterTest, CarriedRecordsShowWhatTheDrawablesDoNotHold) {
  const CarriedFile file;
  kttrv::LoadOptions options;
  options.observer = zirida_carry(drawing);
  const std::vector<unsigned char> bytes = file.build();
  ASSERT_TRUE(kttrv::load_drawing(kttrv::LoadSource::bytes(bytes), drawing, options).loaded);
  const KT_Carried* carried = zirida_carried(drawing);
  ASSERT_NE(carried, nullptr);
  const nlohmann::json j = nlohmann::json::parse(
      written([&](kttrv::view::JsonOut& out) { kttrv::view::write_dump(drawing, {"TORV 2000", 9}, out, {carried}); }));
  const auto& model = j.at("model_space");
  ASSERT_EQ(model.size(), 5u) << model;

  // Each element in file order: a passed record or a drawable of this kind.
  const struct {
    const char* kind;  // null: a record that made nothing
    const Bytes* passed;
  } order[] = {{nullptr, &file.passed_first}, {"line", nullptr}, {"insert", nullptr}, {nullptr, &file.passed_later},
               {"point", nullptr}};
  for (std::size_t i = 0; i < std::size(order); ++i) {
    SCOPED_TRACE(i);
    if (order[i].kind != nullptr) {
      EXPECT_EQ(model[i].at("kind"), order[i].kind);
      EXPECT_FALSE(model[i].contains("passed"));
      continue;
    }
    ASSERT_TRUE(model[i].contains("passed"));
    EXPECT_EQ(model[i].size(), 1u);  // nothing but the record
    EXPECT_EQ(model[i]["passed"], (nlohmann::json{{"kind", 57},
                                                  {"size", order[i].passed->size()},
                                                  {"bytes", hex(*order[i].passed)}}));
  }

  const auto& line = model[1];
  EXPECT_EQ(line.at("color_number"), 1);
  EXPECT_FALSE(line.contains("color_by"));
  EXPECT_EQ(line.at("line_type"), 3);
  EXPECT_EQ(line.at("xdata"), nlohmann::json::parse(R"([{"code":1001,"value":"APP"},{"code":1040,"value":2.5},
      {"code":1010,"value":[1.0,2.0,3.0]},{"code":1070,"value":-3},{"code":1071,"value":100000},
      {"code":1006,"value":null}])"));

  const auto& insert = model[2];
  EXPECT_EQ(insert.at("color_number"), 256);
  EXPECT_EQ(insert.at("color_by"), "layer");
  EXPECT_FALSE(insert.contains("line_type"));
  EXPECT_FALSE(insert.contains("xdata"));
  EXPECT_EQ(insert.at("z_scale"), 7.0);
  EXPECT_EQ(insert.at("block_name"), "DOOR");  // the members before stay as they were
  EXPECT_EQ(insert.at("attributes"), nlohmann::json::parse(R"([
      {"point":[1.0,2.0],"second_point":[2.0,3.0],"angle":45.0,"height":2.5,"strings":["TAG",null,"VALUE"]},
      {"point":[3.0,4.0],"second_point":[4.0,5.0],"angle":90.0,"height":0.5,"strings":[null,"ONLY",null]}])"));

  EXPECT_EQ(model[4].at("color_number"), 0);
  EXPECT_EQ(model[4].at("color_by"), "block");

  // Without the carried records the dump is the drawing's alone: the colour
  // number, which the drawable holds, and nothing more.
  const nlohmann::json alone = dump(drawing);
  ASSERT_EQ(alone.at("model_space").size(), 3u);
  for (const auto& d : alone.at("model_space")) {
    EXPECT_TRUE(d.contains("color_number")) << d;
    for (const char* member : {"passed", "line_type", "xdata", "attributes", "z_scale"})
      EXPECT_FALSE(d.contains(member)) << member << " in " << d;
  }
  // Asked for drawables only, the passed records are left out and the rest
  // is as before.
  const nlohmann::json drawables_only = nlohmann::json::parse(written([&](kttrv::view::JsonOut& out) {
    kttrv::view::write_dump(drawing, {"TORV 2000", 9}, out, {carried, false});
  }));
  const auto& only = drawables_only.at("model_space");
  ASSERT_EQ(only.size(), 3u);
  EXPECT_EQ(only[0], model[1]);
  EXPECT_EQ(only[1], model[2]);
  EXPECT_EQ(only[2], model[4]);

  // An edited list: each passed record still follows the drawable it
  // followed, and one whose drawable is gone comes at the end.
  KT_Drawable* first = drawing.model_space.first;
  KT_Drawable* ins = first->next;
  KT_Drawable* point = ins->next;
  const struct {
    const char* what;
    std::vector<KT_Drawable*> list;
    std::vector<std::size_t> elements;  // what each element is, by its place in the unedited dump
  } edits[] = {
      {"insert first", {ins, first, point}, {0, 2, 3, 1, 4}},
      {"insert removed", {first, point}, {0, 1, 4, 3}},
  };
  for (const auto& e : edits) {
    SCOPED_TRACE(e.what);
    for (std::size_t i = 0; i < e.list.size(); ++i) e.list[i]->next = i + 1 < e.list.size() ? e.list[i + 1] : nullptr;
    drawing.model_space.first = e.list.front();
    drawing.model_space.last = e.list.back();
    const nlohmann::json edited = nlohmann::json::parse(
        written([&](kttrv::view::JsonOut& out) { kttrv::view::write_dump(drawing, {"TORV 2000", 9}, out, {carried}); }));
    const auto& m = edited.at("model_space");
    ASSERT_EQ(m.size(), e.elements.size()) << m;
    for (std::size_t i = 0; i < e.elements.size(); ++i) EXPECT_EQ(m[i], model[e.elements[i]]) << i;
  }
}

// What std::to_chars gives as the shortest text, with ".0" added to an
// integral value unless its exponent form is shorter.
std::string shortest_real(double v) {
  char text[64], exponent_form[64];
  std::string s(text, std::to_chars(text, text + 64, v).ptr);
  if (s.find_first_of(".e") != std::string::npos) return s;
  std::string e(exponent_form, std::to_chars(exponent_form, exponent_form + 64, v, std::chars_format::scientific).ptr);
  return e.size() < s.size() + 2 ? e : s + ".0";
}

// Every real is that text, reads back as the same double and as a real
// (never an integer), and is no longer than the document library's own text;
// the trace's form of the same writer is std::to_chars's text as it is.
TEST(JsonOutTest, RealsAreTheShortestTextThatReadsBack) {
  std::mt19937_64 rng(16);
  std::vector<double> values = {0.0, -0.0, 1.0, -2.0, 0.5, 100.0, -100.0, 1000.0, 12000.0, 0.001, 0.05,
                                -0.001, 0.012, 1e300, 5e-324, 9007199254740993.0, 1e16, 123.456, 999999999999.999};
  for (int i = 0; i < 20000; ++i) {
    const double v = std::bit_cast<double>(rng());
    if (!std::isnan(v)) values.push_back(v);
    // Decimals of up to four places, as drawings hold them.
    const auto digits = static_cast<int64_t>(rng() >> (rng() % 64));
    values.push_back(static_cast<double>(digits) / std::pow(10.0, static_cast<double>(rng() % 5)));
  }
  for (double v : values) {
    const std::string text = written([v](kttrv::view::JsonOut& out) { out.real(v); });
    if (std::isinf(v)) {
      EXPECT_EQ(text, v > 0 ? "\"inf\"" : "\"-inf\"");
      continue;
    }
    ASSERT_EQ(text, shortest_real(v));
    char trace_text[kJsonRealRoom], plain[64];
    ASSERT_EQ(std::string(trace_text, write_json_real(trace_text, v, JsonRealStyle::shortest)),
              std::string(plain, std::to_chars(plain, plain + 64, v).ptr));
    const nlohmann::json parsed = nlohmann::json::parse(text);
    ASSERT_TRUE(parsed.is_number_float()) << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(parsed.get<double>()), std::bit_cast<uint64_t>(v)) << text;
    EXPECT_LE(text.size(), nlohmann::json(v).dump().size()) << text;
  }
}

// Integers take a table path below 10^8 and std::to_chars above: every
// digit count on both sides of each power of ten, signs and the extremes.
TEST(JsonOutTest, IntegersAreTheirDecimalText) {
  std::vector<long long> values = {LLONG_MIN, LLONG_MIN + 1, LLONG_MAX};
  long long p = 1;
  for (int digits = 1; digits <= 19; ++digits) {
    for (long long v : {p - 1, p, p + 1, 7 * p, -p, -(p - 1)}) values.push_back(v);
    if (digits < 19) p *= 10;
  }
  for (long long v : values) ASSERT_EQ(written([v](kttrv::view::JsonOut& out) { out.integer(v); }), std::to_string(v));
}

// Bytes written as hexadecimal straight into the buffer are the text of
// hex_text in quotes, at every length around the buffer's size and with the
// buffer part full before them, after a comma where one is due.
TEST(JsonOutTest, HexIsTheBytesDigits) {
  std::mt19937 rng(5);
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{255}, std::size_t{32767},
                           std::size_t{32768}, std::size_t{32769}, std::size_t{65535}, std::size_t{65536},
                           std::size_t{200001}}) {
    std::vector<unsigned char> bytes(size);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
    const std::string digits = kttrv::view::hex_text(bytes);
    for (std::size_t before : {std::size_t{0}, std::size_t{1}, std::size_t{40000}, std::size_t{65531}}) {
      const std::string filler(before, 'x');
      const std::string text = written([&](kttrv::view::JsonOut& out) {
        out.begin_array();
        if (before > 0) out.utf8(filler);
        out.hex(bytes.data(), bytes.size()).end_array();
      });
      const std::string expected = "[" + (before > 0 ? "\"" + filler + "\"," : std::string()) + "\"" + digits + "\"]";
      ASSERT_EQ(text, expected) << size << " bytes after " << before;
    }
  }
}

}  // namespace
