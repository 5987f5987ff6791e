// The streamed dump against the dump built as a whole document, and the
// writer's numbers and strings read back.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>

#include "host/kt_drawables.h"
#include "load/load_document.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/sample_drawing.h"
#include "tools/trv/dump_tree.h"
#include "tools/trv/dump_writer.h"

namespace {

// What a writer puts into a memory stream.
template <class F>
std::string written(F write) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* f = open_memstream(&data, &size);
  {
    trv::JsonOut out(f);
    write(out);
    EXPECT_TRUE(out.flush());
  }
  std::fclose(f);
  std::string text(data, size);
  std::free(data);
  return text;
}

std::vector<unsigned char> file_bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class DumpWriterTest : public DrawingTest {
 protected:
  void expect_same_dump(const KT_Drawing& d, const std::string& what) {
    const trv::DumpHeader header{"TORV \xc3\xa9 \"2000\"", g_trv_ver};
    const std::string streamed = written([&](trv::JsonOut& out) { trv::write_dump(d, header, out); });
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(streamed)) << what;
    nlohmann::json built = trv::dump_drawing(d);
    built["version"] = header.version;
    built["generation"] = header.generation < 0 ? nlohmann::json(nullptr) : nlohmann::json(header.generation);
    EXPECT_EQ(parsed, built) << what;
  }
};

TEST_F(DumpWriterTest, StreamedDumpParsesToTheBuiltDocument) {
  std::vector<std::pair<std::string, std::vector<unsigned char>>> drawings;
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"})
    drawings.emplace_back(std::string("sample ") + version, sample::full_drawing(version).build());
  for (const char* folder : {EXAMPLES_DIR, CORPUS_DIR})
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.is_regular_file()) drawings.emplace_back(entry.path().string(), file_bytes(entry.path()));
  ASSERT_GT(drawings.size(), 10u);
  for (const auto& [what, bytes] : drawings) {
    for (int mode : {-1, 0}) {
      KT_Drawing fresh;
      g_current_drawing = &fresh;
      g_trv_ver = -1;
      load_torv_buffer(mode, bytes.data(), bytes.size(), fresh);
      expect_same_dump(fresh, what + " mode " + std::to_string(mode));
      g_current_drawing = &drawing;
    }
  }
}

// Values no file of the tests carries: every byte in strings, null strings,
// the reals JSON cannot hold and those at the edges of the format.
TEST_F(DumpWriterTest, AwkwardValuesDumpAlike) {
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  KT_Layer* layer = nullptr;
  api_kt_create_layer(layer, every_byte.c_str(), -1, 3, false, true, false);
  const double awkward[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(), -0.0, 0.1, 1e21, 1e-7,
                            std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::lowest(), 123456789012345678.0};
  for (double v : awkward) {
    const double p[3] = {v, -v, v * 3};
    KT_Drawable* line = nullptr;
    api_kt_create_line(line, p, p);
    api_set_drawable_prop(line, -1, std::numeric_limits<long>::min(), std::numeric_limits<long>::max());
    KT_Drawable* text = nullptr;
    api_kt_create_text(text, every_byte.c_str() + 100, nullptr, p, v, v, v);
  }
  KT_Drawable* empty_polyline = nullptr;
  api_kt_create_polyline(empty_polyline, 0, true);
  expect_same_dump(drawing, "awkward values");
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
// (never an integer), and is no longer than the document library's own text.
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
    const std::string text = written([v](trv::JsonOut& out) { out.real(v); });
    if (std::isinf(v)) {
      EXPECT_EQ(text, v > 0 ? "\"inf\"" : "\"-inf\"");
      continue;
    }
    ASSERT_EQ(text, shortest_real(v));
    const nlohmann::json parsed = nlohmann::json::parse(text);
    ASSERT_TRUE(parsed.is_number_float()) << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(parsed.get<double>()), std::bit_cast<uint64_t>(v)) << text;
    EXPECT_LE(text.size(), nlohmann::json(v).dump().size()) << text;
  }
}

}  // namespace
