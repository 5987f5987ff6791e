#include <gtest/gtest.h>

#include <string_view>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "kttrv/kttrv.h"
#include "format/diagnostics.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/torv_builder.h"

namespace {

// A 216-byte record with fields set by offset: reals and flags 0, the
// bytes that are not read filled.
class DimRecord {
 public:
  DimRecord() {
    b_.raw(std::string(216, '\xEE'));
    for (std::size_t f : kFlags) b_.patch<int32_t>(f, 0);
    for (std::size_t o = 26; o <= 154; o += 8) b_.patch<double>(o, 0.0);
  }
  template <class T>
  DimRecord& at(std::size_t offset, T v) {
    b_.patch<T>(offset, v);
    return *this;
  }
  DimRecord& name(std::string s) { names_[0] = std::move(s); return at<int32_t>(0, 1); }
  DimRecord& second_name(std::string s) { names_[1] = std::move(s); return at<int32_t>(204, 1); }
  // Sets the flags of the seven dropped strings (A-E, F, G).
  DimRecord& dropped(bool on) { for (std::size_t f : kDropped) at<int32_t>(f, on ? 1 : 0); return *this; }

  Bytes bytes() const {
    Bytes out = b_;
    if (names_[0]) out.str(*names_[0]);
    for (std::size_t f : kDropped) {
      int32_t flag;
      std::memcpy(&flag, b_.data().data() + f, 4);
      if (flag) out.str("dropped" + std::to_string(f));
    }
    if (names_[1]) out.str(*names_[1]);
    return out;
  }

 private:
  static constexpr std::size_t kDropped[] = {6, 10, 14, 18, 22, 196, 200};
  static constexpr std::size_t kFlags[] = {0, 6, 10, 14, 18, 22, 196, 200, 204};
  Bytes b_;
  std::optional<std::string> names_[2];
};

class DimStyleTable : public DrawingTest {
 protected:
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    DrawingTest::TearDown();
  }
  bool load_records(const std::vector<DimRecord>& records, uint32_t count = UINT32_MAX) {
    Bytes t;
    t.u32(count == UINT32_MAX ? static_cast<uint32_t>(records.size()) : count);
    for (const auto& r : records) t.append(r.bytes());
    return load(TorvFile().section(kSlotDimStyles, t).build());
  }
  nlohmann::json only_style() {
    const auto styles = ops("api_kt_create_dim_style");
    EXPECT_EQ(styles.size(), 1u);
    return styles.empty() ? nlohmann::json() : styles[0]["args"];
  }
  void listen() {
    KtTrvSetDiagnosticSink(
        [](const char* m, void* c) {
          if (std::string_view(m).starts_with("dimension styles:")) static_cast<std::vector<std::string>*>(c)->push_back(m);
        },
                        &messages);
  }
  std::vector<std::string> messages;
};

TEST_F(DimStyleTable, RealsMapToTheirEntriesAndTheScaleMultipliesFour) {
  DimRecord r;
  r.at<double>(26, 2.0);
  // Every other real holds its own offset plus a half.
  for (std::size_t o = 34; o <= 154; o += 8) r.at<double>(o, static_cast<double>(o) + 0.5);
  r.at<double>(74, 3.9).at<double>(146, 7.0);
  ASSERT_TRUE(load_records({r}));
  const auto args = only_style();
  const double expected[16] = {122.5, 34.5 * 2, 106.5, 3.9,        50.5,       58.5 * 2, 42.5 * 2, 154.5,
                               130.5, 66.5,     2.0,   90.5,       82.5,       114.5,    138.5,    98.5 * 2};
  ASSERT_EQ(args[4].size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(args[4][i].get<double>(), expected[i]) << "real entry " << i;

  trace.clear();
  ASSERT_TRUE(load_records({DimRecord().at<double>(26, 2.0).at<double>(34, 0.18)}));
  EXPECT_DOUBLE_EQ(only_style()[4][1].get<double>(), 0.36);
}

TEST_F(DimStyleTable, IntegersAndSixteenBitValues) {
  DimRecord r;
  r.at<int16_t>(192, -1).at<int16_t>(194, 0x7FFF).at<int16_t>(190, -32768);
  r.at<int16_t>(180, 0x0104).at<uint8_t>(178, 0xF0).at<int16_t>(174, -2).at<int16_t>(176, 1234);
  r.at<double>(74, 257.0).at<double>(146, -1.5);
  ASSERT_TRUE(load_records({r}));
  const auto args = only_style();
  EXPECT_EQ(args[2], nlohmann::json::parse("[-1,32767,-32768]"));
  // Entries 3, 5, 6, 8, 10 and 11 are not filled from the record.
  EXPECT_EQ(args[3], nlohmann::json::parse("[260,4,240,0,1,0,0,-2,0,255,0,0,1234]"));

  trace.clear();
  ASSERT_TRUE(load_records({DimRecord().at<int16_t>(180, -1)}));
  EXPECT_EQ(only_style()[3][0], -1);
  EXPECT_EQ(only_style()[3][1], 255);
}

TEST_F(DimStyleTable, TruncatedRealsWithoutAnIntegerGiveZero) {
  listen();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    int low_byte;
    bool reported;
  } cases[] = {
      {3.9, 3, false},          {-1.5, 255, false},       {257.0, 1, false},
      {2147483647.9, 255, false}, {-2147483648.9, 0, false}, {2147483648.0, 0, true},
      {-2147483649.0, 0, true}, {3e9 + 5, 0, true},       {std::nan(""), 0, true},
      {inf, 0, true},           {-inf, 0, true},
  };
  std::vector<DimRecord> records;
  for (const Case& c : cases) records.push_back(DimRecord().at<double>(74, c.value).at<double>(146, c.value));
  ASSERT_TRUE(load_records(records));
  const auto styles = ops("api_kt_create_dim_style");
  ASSERT_EQ(styles.size(), std::size(cases));
  std::size_t reports = 0;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(styles[i]["args"][3][4], cases[i].low_byte) << cases[i].value;
    EXPECT_EQ(styles[i]["args"][3][9], cases[i].low_byte) << cases[i].value;
    reports += cases[i].reported ? 2 : 0;
  }
  EXPECT_EQ(messages.size(), reports);
  EXPECT_EQ(messages.at(0).rfind("dimension styles: real 2.14748e+09 has no 32-bit integer value; 0 used at byte " +
                                     std::to_string(88 + 4 + 216 * 5 + 74), 0), 0u) << messages.at(0);
  EXPECT_EQ(styles[8]["args"][4][3], "nan");  // the real entry keeps the value itself
}

TEST_F(DimStyleTable, SevenDroppedStringsLieBetweenTheNames) {
  DimRecord all, none, second_only;
  all.name("DIMS").dropped(true).second_name("SECOND");
  none.name("PLAIN");
  second_only.second_name("ONLY");
  ASSERT_TRUE(load_records({all, none, second_only}));
  const auto styles = ops("api_kt_create_dim_style");
  ASSERT_EQ(styles.size(), 3u);
  EXPECT_EQ(styles[0]["args"][0], "DIMS");
  EXPECT_EQ(styles[0]["args"][1], "SECOND");
  EXPECT_EQ(styles[1]["args"][0], "PLAIN");
  EXPECT_EQ(styles[1]["args"][1], "");
  EXPECT_EQ(styles[2]["args"][0], "");
  EXPECT_EQ(styles[2]["args"][1], "ONLY");
}

TEST_F(DimStyleTable, AbsentAndShortTables) {
  listen();
  const Bytes one = Bytes().u32(1).append(DimRecord().bytes());
  // Slot 0 would be a table at the file's start; below 1 means none.
  EXPECT_TRUE(load(TorvFile().slot(kSlotDimStyles, 0).tail(one).build()));
  EXPECT_TRUE(load(TorvFile().slot(kSlotDimStyles, -1).tail(one).build()));
  EXPECT_TRUE(trace.empty());

  // The dropped strings reach no one: once the name is read, a style
  // without a second name is created even when they are cut. With a second
  // name behind them, any cut loses a used field and creates nothing.
  for (const bool second : {false, true}) {
    DimRecord rec;
    rec.name("N").dropped(true);
    if (second) rec.second_name("S");
    const Bytes whole = rec.bytes();
    for (std::size_t n = 0; n < whole.size(); ++n) {
      SCOPED_TRACE("cut at " + std::to_string(n) + (second ? ", second name" : ""));
      trace.clear();
      messages.clear();
      Bytes t = Bytes().u32(5).append(DimRecord().bytes());
      t.raw(std::string_view(reinterpret_cast<const char*>(whole.data().data()), n));
      ASSERT_TRUE(load(TorvFile().section(kSlotDimStyles, t).build()));
      const auto made = ops("api_kt_create_dim_style");
      const bool created = !second && n >= 216 + 3;
      ASSERT_EQ(made.size(), created ? 2u : 1u);
      if (created) {
        EXPECT_EQ(made[1]["args"][0], "N");
      }
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0], "dimension styles: record 1 of 5 cut short by the end of the data at byte " +
                                 std::to_string(88 + 4 + 216));
    }
  }
}

}  // namespace
