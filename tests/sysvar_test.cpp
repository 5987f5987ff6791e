#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "kttrv/kttrv.h"
#include "format/load_context.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "save/sysvar_forms.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/torv_builder.h"

namespace {

class SysVars : public DrawingTest {
 protected:
  void TearDown() override {
    set_sysvar_list_path(nullptr);
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }

  std::string write_list(const std::string& text) {
    const auto path = dir / "list.txt";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  void use_list(const std::string& text) { read_sysvar_list(write_list(text).c_str()); }
  // A list of "V<i> <type>" lines.
  void use_types(const std::vector<int>& types) {
    std::string text = std::to_string(types.size()) + "\n";
    for (std::size_t i = 0; i < types.size(); ++i) text += "V" + std::to_string(i) + " " + std::to_string(types[i]) + "\n";
    use_list(text);
  }
  // Walks bytes as a section at position 0; gives the result and where it ended.
  std::pair<int, int32_t> walk(const Bytes& section) {
    tagFile f{section.data().data(), static_cast<int32_t>(section.size()), 0};
    LoadContext context;
    context.diagnostics = installed_diagnostic_sink();
    context.sysvars = &sysvar_list();
    f.context = &context;
    const int result = read_sysvar_section(&f, 0);
    return {result, f.position};
  }
  void listen() {
    KtTrvSetDiagnosticSink([](const char* m, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
                        &messages);
  }
  std::vector<std::string> messages;
};

struct Entry {
  std::string name;
  int type;
};

std::vector<Entry> entries() {
  std::vector<Entry> out;
  for (const SysVarEntry& e : sysvar_list()) out.push_back({e.name, e.type});
  return out;
}

TEST_F(SysVars, ListFileRules) {
  const std::string long_line(130, 'A');
  struct Case {
    const char* what;
    std::string text;
    std::vector<Entry> expected;
  } cases[] = {
      {"count shrinks to the lines present", "2\nALPHA 7\n", {{"ALPHA", 7}}},
      {"a bare name keeps its line end, type 1", "1\nBARE\n", {{"BARE\n", 1}}},
      {"the type is the low byte", "2\nX 264\nY 300\n", {{"X", 8}, {"Y", 44}}},
      {"cut at the first blank", "1\nA B 3\n", {{"A", 0}}},
      {"signed types", "1\nN -1\n", {{"N", -1}}},
      {"empty name before the blank", "1\n 5\n", {{"", 5}}},
      {"names cut to 31 characters", "1\n" + std::string(40, 'n') + " 2\n", {{std::string(31, 'n'), 2}}},
      {"lines longer than 127 read as several", "2\n" + long_line + " 4\n",
       {{std::string(31, 'A'), 1}, {"AAA", 4}}},
      {"the count is 16-bit", "65537\nA 2\nB 3\n", {{"A", 2}}},
      {"a negative count reads nothing", "-3\nA 2\n", {}},
      {"extra lines are ignored", "1\nA 2\nB 3\n", {{"A", 2}}},
      {"an empty file", "", {}},
      {"counts beyond 32 bits saturate", "4294967298\nA 2\n", {}},
      {"CRLF line ends read as LF", "2\r\nBARE\r\nX 3\r\n", {{"BARE\n", 1}, {"X", 3}}},
      {"a CRLF split by the line limit is one line end", "2\n" + std::string(126, 'A') + "\r\nB 5\n",
       {{std::string(31, 'A'), 1}, {"B", 5}}},
  };
  for (const Case& c : cases) {
    use_list(c.text);
    const auto got = entries();
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].name, c.expected[i].name) << c.what << " #" << i;
      EXPECT_EQ(got[i].type, c.expected[i].type) << c.what << " #" << i;
    }
  }
}

TEST_F(SysVars, MissingListDropsThePreviousOne) {
  use_types({1, 2});
  ASSERT_EQ(sysvar_list().size(), 2u);
  read_sysvar_list((dir / "nowhere.txt").string().c_str());
  EXPECT_TRUE(sysvar_list().empty());
}

TEST_F(SysVars, ShippedListMatchesTheWrittenSequence) {
  read_sysvar_list(sysvar_list_path());
  const auto& list = sysvar_list();
  ASSERT_EQ(list.size(), 309u) << sysvar_list_path();
  for (std::size_t i = 0; i < list.size(); ++i) {
    int expected = 0;
    switch (kSysVarForms[i]) {
      case 'W': expected = 1; break;
      case 'L': expected = 2; break;
      case 'D': expected = 4; break;
      case 'P': expected = 3; break;
      case 'T': expected = 7; break;
      case 'S': expected = 8; break;
    }
    if (i == 39) expected = 8;  // written as an int16, listed as a string
    EXPECT_EQ(list[i].type, expected) << "entry " << i << " (" << list[i].name << ")";
  }
}

// The section as the writer lays it out, with strings in every S entry.
Bytes written_section() {
  Bytes b;
  b.f64(2450501.5281);
  for (std::size_t i = 0; i < 309; ++i) {
    switch (kSysVarForms[i]) {
      case 'W': b.i16(1); break;
      case 'L': b.i32(2); break;
      case 'D': b.f64(3.0); break;
      case 'P': b.pt2(1, 2); break;
      case 'T': b.pt3(1, 2, 3); break;
      case 'S': b.cstr("Bylayer"); break;
    }
  }
  return b;
}

TEST_F(SysVars, ShippedListWalksAWrittenSectionToItsEnd) {
  read_sysvar_list(sysvar_list_path());
  Bytes section = written_section();
  const auto size = static_cast<int32_t>(section.size());
  section.raw("trailing");
  EXPECT_EQ(walk(section), std::make_pair(1, size));
}

TEST_F(SysVars, WalkWidthsByType) {
  use_types({1, 2, 3, 4, 5, 6, 7, 8});
  Bytes s;
  s.f64(0).i16(0).i32(0).pt2(0, 0).f64(0).f64(0).pt2(0, 0).pt3(0, 0, 0).cstr("ab");
  const auto end = static_cast<int32_t>(s.size());
  s.raw("xyz");
  EXPECT_EQ(walk(s), std::make_pair(1, end));
}

TEST_F(SysVars, Entry39ReadsTwoBytesWhileOtherStringsReadToTheirZero) {
  std::vector<int> types(41, 1);
  types[39] = 8;
  types[40] = 8;
  use_types(types);
  Bytes s;
  s.f64(0).zeros(39 * 2).raw("AB").cstr("tail");  // entry 39 is "AB" read as an int16
  EXPECT_EQ(walk(s), std::make_pair(1, static_cast<int32_t>(s.size())));
}

TEST_F(SysVars, WalkStopsAtTypesOutsideOneToEight) {
  listen();
  for (int bad : {0, 9, -1}) {
    use_types({1, bad, 1});
    Bytes s;
    s.f64(0).i16(0).i16(0).i16(0);
    EXPECT_EQ(walk(s), std::make_pair(0, 10)) << bad;
  }
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0], "system variables: list entry 1 has type 0, outside 1 to 8; walk stopped at byte 10");
}

TEST_F(SysVars, WalkEndsAtTheEndOfTheData) {
  listen();
  use_types({1, 4});
  EXPECT_EQ(walk(Bytes().f64(0).i16(0).i32(0)), std::make_pair(0, 10));
  use_types({8});
  EXPECT_EQ(walk(Bytes().f64(0).raw("no zero")), std::make_pair(0, 15));
  EXPECT_EQ(walk(Bytes().i32(0)).first, 0);  // not even the leading value
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0], "system variables: value of entry 1 of 2 cut short by the end of the data at byte 10");
}

TEST_F(SysVars, EmptyListReadsOnlyTheLeadingValue) {
  read_sysvar_list(nullptr);
  EXPECT_EQ(walk(Bytes().f64(0).i16(5)), std::make_pair(1, 8));
}

TEST_F(SysVars, SectionIsWalkedOnlyInModeMinusOne) {
  listen();
  set_sysvar_list_path(write_list("1\nA 4\n").c_str());
  const auto file = TorvFile().section(kSlotSysVars, Bytes().f64(0).i16(1)).build();  // entry 0 cut short
  EXPECT_TRUE(load(file, 0));
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(load(file, -1));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("system variables: value of entry 0 of 1", 0), 0u) << messages[0];
}

TEST_F(SysVars, LoadWithoutListFileSucceeds) {
  set_sysvar_list_path((dir / "missing.txt").string().c_str());
  EXPECT_TRUE(load(TorvFile().section(kSlotSysVars, Bytes().f64(0)).build(), -1));
  EXPECT_TRUE(sysvar_list().empty());
}

}  // namespace
