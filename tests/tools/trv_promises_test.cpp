// trv as the README promises it: the dump a line at a time holds what the
// whole dump holds, text bytes read in the chosen encoding, and a strict
// check that flags each kind of doubt and none of the examples.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "host/zirida_host.h"
#include "load/load.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/sample_drawing.h"
#include "view/dump_writer.h"
#include "view/text_encoding.h"

namespace {

using nlohmann::json;

struct TrvResult {
  int status;
  std::string out;
};

TrvResult trv(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(TRV_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return {-1, ""};
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// The whole dump put back together from the dump's lines.
json whole_from_lines(const std::string& lines) {
  json whole;
  std::istringstream in(lines);
  std::string line;
  json* block = nullptr;
  for (long n = 0; std::getline(in, line); ++n) {
    json o = json::parse(line);
    const std::string where = o.at("in");
    o.erase("in");
    if (n == 0) {
      EXPECT_EQ(where, "file");
      whole = o;
      for (const char* name : {"layers", "text_styles", "dim_styles", "line_types", "blocks", "model_space"})
        whole[name] = json::array();
      continue;
    }
    if (where == "block_entities") {
      EXPECT_TRUE(block != nullptr && o.at("block") == block->at("id")) << line;
      o.erase("block");
      if (block != nullptr) block->at("entities").push_back(o);
      continue;
    }
    EXPECT_TRUE(whole.contains(where) && where != "version") << line;
    if (where == "blocks") o["entities"] = json::array();
    whole[where].push_back(o);
    block = where == "blocks" ? &whole["blocks"].back() : nullptr;
  }
  return whole;
}

class TrvPromisesTest : public DrawingTest {};

// Every example and test drawing of every generation, whole and cut: the
// objects of `dump --lines` are those of `dump`, in its order.
TEST_F(TrvPromisesTest, DumpLinesHoldTheWholeDump) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR))
    if (entry.path().extension() == ".trv") paths.push_back(entry.path().string());
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"}) {
    const auto bytes = sample::full_drawing(version).build();
    paths.push_back(temp_file(bytes, std::string(version).replace(4, 1, "_") + ".trv"));
    paths.push_back(temp_file({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * 3 / 4)},
                              std::string(version).replace(4, 1, "_") + "-cut.trv"));
  }
  for (const std::string& path : paths) {
    const TrvResult whole = trv("dump '" + path + "'");
    const TrvResult lines = trv("dump --lines '" + path + "'");
    ASSERT_EQ(whole.status, 0) << path;
    ASSERT_EQ(lines.status, 0) << path;
    const json expected = json::parse(whole.out);
    EXPECT_EQ(whole_from_lines(lines.out), expected) << path;
    // The head tells whether the load was complete.
    const TrvResult check = trv("check '" + path + "'");
    EXPECT_EQ(expected.at("complete").get<bool>(), check.status == 0) << path;
    EXPECT_EQ(expected.at("damage").empty(), expected.at("complete").get<bool>()) << path;
  }
}

// trv dump loads with a carrier of its own that keeps only what it shows;
// its output is what the stand-in kernel's full carried load gives the dump
// writer, byte for byte, with and without the records that made nothing,
// whole and a line at a time, for every example, test drawing and corpus file.
TEST_F(TrvPromisesTest, DumpShowsWhatTheWholeCarriedLoadShows) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR))
    if (entry.path().extension() == ".trv") paths.push_back(entry.path().string());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(CORPUS_DIR))
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"}) {
    const auto bytes = sample::full_drawing(version).build();
    const std::string name = std::string(version).replace(4, 1, "_");
    paths.push_back(temp_file(bytes, name + ".trv"));
    paths.push_back(temp_file({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * 2 / 3)},
                              name + "-cut.trv"));
  }
  int compared = 0;
  for (const std::string& path : paths)
    for (const bool lines : {false, true})
      for (const bool passed : {true, false}) {
        const std::string args =
            std::string("dump ") + (lines ? "--lines " : "") + (passed ? "" : "--no-passed ") + "'" + path + "'";
        const TrvResult shown = trv(args);
        if (shown.status != 0) continue;  // not a drawing: nothing to compare
        // The head comes from the load's result, not from what it carried.
        const json head = json::parse(shown.out.substr(0, lines ? shown.out.find('\n') : std::string::npos));
        kttrv::view::DumpHeader header(head.at("version").get<std::string>(),
                                       head.at("generation").is_null() ? -1 : head.at("generation").get<int>());
        header.complete = head.at("complete").get<bool>();
        for (const json& line : head.at("damage")) header.damage.push_back(line.get<std::string>());
        KT_Drawing loaded;
        kttrv::LoadOptions options;
        options.observer = zirida_carry(loaded);
        ASSERT_TRUE(kttrv::load_drawing(kttrv::LoadSource::file(path), loaded, options).loaded) << path;
        std::string expected;
        {
          kttrv::view::JsonOut out(expected);
          const kttrv::view::DumpCarried carried{zirida_carried(loaded), passed};
          if (lines) kttrv::view::write_dump_lines(loaded, header, out, carried);
          else kttrv::view::write_dump(loaded, header, out, carried);
        }
        ASSERT_EQ(shown.out, expected) << args;
        ++compared;
      }
  EXPECT_GT(compared, 40);
}

struct Decoding {
  const char* encoding;
  std::string bytes;
  std::string utf8;
  bool valid;
};

// Each encoding reads its own bytes as their characters and marks what is
// no text in it.
TEST(TextEncodingTest, ReadsBytesAsTheirCharacters) {
  const Decoding cases[] = {
      {"latin1", "Gr\xF6\xDF" "e", "Gr\xC3\xB6\xC3\x9F" "e", true},
      {"ISO-8859-1", "\xFF\x80", "\xC3\xBF\xC2\x80", true},
      {"utf-8", "Gr\xC3\xB6\xC3\x9F" "e", "Gr\xC3\xB6\xC3\x9F" "e", true},
      {"UTF8", "\xE2\x82\xAC \xF0\x9F\x99\x82", "\xE2\x82\xAC \xF0\x9F\x99\x82", true},
      {"utf-8", "Gr\xF6\xDF" "e", "Gr\xEF\xBF\xBD\xEF\xBF\xBD" "e", false},
      {"utf-8", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", false},          // overlong '/'
      {"utf-8", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", false},  // a surrogate
      {"utf-8", "ab\xE2\x82", "ab\xEF\xBF\xBD\xEF\xBF\xBD", false},      // cut short
      {"cp1252", "\x80 5", "\xE2\x82\xAC 5", true},
      {"CP1251", "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8", true},
      {"shift_jis", "\x93\xfa\x96\x7b", "\xE6\x97\xA5\xE6\x9C\xAC", true},
      {"shift_jis", "a\x81", "a\xEF\xBF\xBD", false},
      {"utf-8", "", "", true},
  };
  for (const Decoding& c : cases) {
    std::string problem;
    const auto encoding = kttrv::view::TextEncoding::open(c.encoding, problem);
    ASSERT_TRUE(encoding) << c.encoding << ": " << problem;
    bool valid = !c.valid;
    EXPECT_EQ(encoding->decode(c.bytes, &valid), c.utf8) << c.encoding << " " << c.bytes;
    EXPECT_EQ(valid, c.valid) << c.encoding << " " << c.bytes;
    EXPECT_EQ(encoding->valid(c.bytes), c.valid) << c.encoding << " " << c.bytes;
  }
  std::string problem;
  for (const char* unknown : {"", "no-such-encoding", "../latin1", "utf-9"}) {
    EXPECT_FALSE(kttrv::view::TextEncoding::open(unknown, problem)) << unknown;
    EXPECT_FALSE(problem.empty()) << unknown;
  }
}

// A drawing whose layer and text hold `name`'s bytes.
std::vector<unsigned char> drawing_naming(const std::string& name) {
  sample::Record text(94);
  text.pt3(0, 10, 20, 0).at(24, 2.5).at<int32_t>(32, 1).at(36, 0.0).at(44, 1.0).at<int32_t>(60, 1);
  const Bytes records = Bytes()
                            .append(entity(2, PropsBlock().layer(1), Bytes().pt3(0, 0, 0).pt3(1, 1, 0)))
                            .append(entity(7, PropsBlock().layer(1), Bytes(text.bytes()).str(name).str("STANDARD")));
  return TorvFile("HALD 2002")
      .section(kSlotSysVars, sample::sysvars())
      .section(kSlotLayers, Bytes().u32(2).append(sample::layer("0", 0, 7, 1)).append(sample::layer(name, 0, 1, 0)))
      .section(kSlotTextStyles, sample::text_styles())
      .section(kSlotDimStyles, sample::dim_styles())
      .section(kSlotBlocks, Bytes().u32(0))
      .section(kSlotEntities, entity_section(2, records))
      .build();
}

struct EncodedDrawing {
  std::string bytes;     // of the layer's name and the text
  const char* encoding;  // --encoding
  std::string shown;     // as the dump shows them (UTF-8)
  long invalid;          // strings trv info finds no text in the encoding
};

// A UTF-8 and a Latin-1 drawing give their text with the right --encoding
// (dump and info), and the wrong one is told.
TEST_F(TrvPromisesTest, TextIsReadInTheChosenEncoding) {
  const std::string utf8 = "Gr\xC3\xB6\xC3\x9F" "e";
  const std::string latin1 = "Gr\xF6\xDF" "e";
  const EncodedDrawing cases[] = {
      {utf8, "utf-8", utf8, 0},
      {latin1, "latin1", utf8, 0},
      {latin1, "utf-8", "Gr\xEF\xBF\xBD\xEF\xBF\xBD" "e", 2},
      {utf8, "latin1", "Gr\xC3\x83\xC2\xB6\xC3\x83\xC2\x9F" "e", 0},
      {"\x80", "cp1252", "\xE2\x82\xAC", 0},
  };
  for (const EncodedDrawing& c : cases) {
    const std::string path = temp_file(drawing_naming(c.bytes), "encoded.trv");
    const std::string what = std::string(c.encoding) + " of " + c.bytes;
    const TrvResult dump = trv("dump --encoding " + std::string(c.encoding) + " " + path);
    ASSERT_EQ(dump.status, 0) << what;
    const json j = json::parse(dump.out);
    EXPECT_EQ(j.at("layers").at(1).at("name"), c.shown) << what;
    EXPECT_EQ(j.at("model_space").at(1).at("text"), c.shown) << what;
    EXPECT_EQ(j.at("model_space").at(1).at("layer_name"), c.shown) << what;
    const TrvResult lines = trv("dump --lines --encoding " + std::string(c.encoding) + " " + path);
    EXPECT_EQ(whole_from_lines(lines.out), j) << what;
    const TrvResult info = trv("info --json --encoding " + std::string(c.encoding) + " " + path);
    ASSERT_EQ(info.status, 0) << what;
    EXPECT_EQ(json::parse(info.out).at("encoding").at("invalid"), c.invalid) << what;
    const TrvResult text = trv("info --encoding " + std::string(c.encoding) + " " + path);
    EXPECT_EQ(text.out.find("not valid in") != std::string::npos, c.invalid > 0) << what << "\n" << text.out;
  }
  EXPECT_EQ(trv("dump --encoding no-such-encoding " + temp_file(drawing_naming("x"))).status, 2);
}

struct Doubtful {
  const char* what;
  Bytes layers;   // the layer section
  Bytes records;  // the model space's records after a plain line
  uint32_t count;
  const char* flag;  // what the doubt line says; null: none
  const char* options = "";
};

Bytes two_layers(const std::string& second) {
  return Bytes().u32(2).append(sample::layer("0", 0, 7, 1)).append(sample::layer(second, 0, 1, 0));
}

Bytes line_at(double x, double y, int layer = 1) {
  return entity(2, PropsBlock().layer(layer), Bytes().pt3(x, y, 0).pt3(1, 1, 0));
}

// check --strict flags each kind of doubt of a file that loads whole, with
// its place, and exits 1; the file without it passes.
TEST_F(TrvPromisesTest, StrictCheckFlagsEachDoubt) {
  sample::Record text(94);
  text.pt3(0, 10, 20, 0).at(24, 2.5).at<int32_t>(32, 1).at(44, 1.0).at<int32_t>(60, 1);
  const Bytes insert = entity(23, PropsBlock().layer(1),
                              Bytes().i32(0x7FF).pt3(5, 6, 0).i16(0).str("NOBLOCK").f64(1).f64(1).f64(1).f64(0).f64(0)
                                  .i16(1).i16(1).f64(0).f64(0).u32(0));
  const Doubtful cases[] = {
      {"nothing doubtful", two_layers("WALLS"), line_at(2, 3), 1, nullptr},
      {"unknown kind 0", two_layers("WALLS"), entity(0, PropsBlock()), 1, "of unknown kind 0"},
      {"unknown kind 200", two_layers("WALLS"), entity(200, PropsBlock()), 1, "of unknown kind 200"},
      {"unknown kind -3", two_layers("WALLS"), entity(-3, PropsBlock()), 1, "of unknown kind -3"},
      // A code of the dispatch that no reader has is passed over as the format allows.
      {"unknown kind 60", two_layers("WALLS"), entity(60, PropsBlock()), 1, nullptr},
      {"control byte", two_layers("WA\x01LLS"), line_at(2, 3), 1, "layer 1 \"WA\\x01LLS\": a control byte"},
      {"undecodable", two_layers("Gr\xF6\xDF" "e"), line_at(2, 3), 1, "no text in utf-8", "--encoding utf-8"},
      {"subnormal", two_layers("WALLS"), line_at(5e-320, 3), 1, "a point is subnormal (4.9999"},
      {"absurd", two_layers("WALLS"), line_at(2, 1e20), 1, "a point is beyond any drawing (1e+20)"},
      {"not finite", two_layers("WALLS"), line_at(2, std::numeric_limits<double>::infinity()), 1,
       "a point is not finite"},
      {"missing layer", two_layers("WALLS"), line_at(2, 3, 7), 1, "layer number 7 names no layer"},
      {"missing block", two_layers("WALLS"), insert, 1, "block \"NOBLOCK\" does not exist"},
      {"missing style", two_layers("WALLS"),
       entity(7, PropsBlock().layer(1), Bytes(text.bytes()).str("Hi").str("NOSTYLE")), 1,
       "text style \"NOSTYLE\" does not exist"},
  };
  for (const Doubtful& c : cases) {
    const auto bytes = TorvFile("HALD 2002")
                           .section(kSlotSysVars, sample::sysvars())
                           .section(kSlotLayers, c.layers)
                           .section(kSlotTextStyles, sample::text_styles())
                           .section(kSlotDimStyles, sample::dim_styles())
                           .section(kSlotBlocks, Bytes().u32(0))
                           .section(kSlotEntities, entity_section(c.count + 1, Bytes(line_at(0, 0)).append(c.records)))
                           .build();
    const std::string path = temp_file(bytes, "doubt.trv");
    EXPECT_EQ(trv("check " + std::string(c.options) + " " + path).status, 0) << c.what << ": whole without --strict";
    const TrvResult r = trv("check --strict " + std::string(c.options) + " " + path);
    if (c.flag == nullptr) {
      EXPECT_EQ(r.status, 0) << c.what << "\n" << r.out;
      EXPECT_EQ(r.out, path + ": whole\n") << c.what;
      continue;
    }
    EXPECT_EQ(r.status, 1) << c.what << "\n" << r.out;
    EXPECT_NE(r.out.find(path + ": doubtful: 1 doubt(s)\n"), std::string::npos) << c.what << "\n" << r.out;
    EXPECT_NE(r.out.find(c.flag), std::string::npos) << c.what << "\n" << r.out;
    // Records and drawables are placed in the file.
    if (std::string(c.what).rfind("control", 0) != 0 && std::string(c.what) != "undecodable") {
      EXPECT_NE(r.out.find(" at byte "), std::string::npos) << c.what << "\n" << r.out;
    }
  }
}

// No example, and no test drawing of any generation, is doubtful.
TEST_F(TrvPromisesTest, StrictCheckPassesTheExamples) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR))
    if (entry.path().extension() == ".trv") paths.push_back(entry.path().string());
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"})
    paths.push_back(temp_file(sample::full_drawing(version).build(), std::string(version).replace(4, 1, "_") + ".trv"));
  ASSERT_GE(paths.size(), 12u);
  for (const std::string& path : paths) {
    const TrvResult r = trv("check --strict '" + path + "'");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, path + ": whole\n");
  }
}

}  // namespace
