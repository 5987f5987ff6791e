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

#include "format/json_real.h"
#include "kernel/kt_drawables.h"
#include "load/load_document.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/sample_drawing.h"
#include "view/dump_writer.h"

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

}  // namespace
