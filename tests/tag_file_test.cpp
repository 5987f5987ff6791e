#include <gtest/gtest.h>

#include <vector>

#include "format/record_reader.h"
#include "format/tag_file.h"

namespace {

tagFile over(const std::vector<unsigned char>& b) {
  return {b.data(), static_cast<int32_t>(b.size()), 0};
}

TEST(FileSeek, ModesMoveAsStated) {
  std::vector<unsigned char> b(10);
  struct Case {
    int32_t start, offset;
    int mode;
    int32_t expected;
  } cases[] = {
      {3, 0, 2, 10},   // from the end
      {8, -4, 1, 4},   // relative
      {5, 7, 3, 5},    // unknown mode: no change
      {5, 99, 0, 99},  // unchecked against the length
      {5, -2, 0, -2},
  };
  for (const Case& c : cases) {
    tagFile f = over(b);
    f.position = c.start;
    EXPECT_EQ(file_seek(&f, c.offset, c.mode), 0);
    EXPECT_EQ(file_tell(&f), c.expected) << c.start << " " << c.offset << " " << c.mode;
  }
}

TEST(FileSeek, ResultOutsideInt32LeavesPositionAlone) {
  std::vector<unsigned char> b(4);
  tagFile f = over(b);
  f.position = INT32_MAX - 1;
  EXPECT_EQ(file_seek(&f, 10, 1), -1);
  EXPECT_EQ(f.position, INT32_MAX - 1);
}

TEST(FileRead, ReadsItemsOrNothing) {
  std::vector<unsigned char> b(24, 0xAB);
  tagFile f = over(b);
  double d[3];
  EXPECT_EQ(file_read(d, 8, 3, &f), 3u);
  EXPECT_EQ(f.position, 24);

  f.position = 20;
  unsigned char dst[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(file_read(dst, 8, 1, &f), 0u);  // 4 bytes short
  EXPECT_EQ(f.position, 20);
  EXPECT_EQ(dst[0], 1);

  for (int32_t bad : {-1, 25, INT32_MAX}) {
    f.position = bad;
    EXPECT_EQ(file_read(dst, 1, 1, &f), 0u) << bad;
    EXPECT_EQ(f.position, bad);
  }
  f.position = 0;
  EXPECT_EQ(file_read(dst, SIZE_MAX / 2, 4, &f), 0u);  // size * count overflows
}

TEST(CountedString, LengthsAndCutting) {
  struct Case {
    std::vector<unsigned char> bytes;
    std::size_t cap;
    int result;
    const char* text;
    int32_t position;
  } cases[] = {
      {{0, 0, 'x'}, 32, 1, "", 2},                      // empty
      {{0xFB, 0xFF, 'x'}, 32, 1, "", 2},                // -5: only the length
      {{3, 0, 'a', 'b', 'c', 'd'}, 32, 1, "abc", 5},
      {{5, 0, 'a', 'b', 'c', 'd', 'e'}, 4, 1, "abc", 7},  // cut to the field, stream past it
      {{5, 0, 'a', 'b'}, 32, 0, "", 0},                 // body cut short: nothing moves
      {{5}, 32, 0, "", 0},                              // length cut short
  };
  for (const Case& c : cases) {
    tagFile f = over(c.bytes);
    char field[32] = "untouched";
    EXPECT_EQ(read_counted_string(&f, field, c.cap), c.result);
    EXPECT_STREQ(field, c.text);
    EXPECT_EQ(f.position, c.position);
  }
}

TEST(CString, StopsAtZeroOrEndOfBuffer) {
  std::vector<unsigned char> b = {'A', 'B', 0, 'C'};
  tagFile f = over(b);
  char field[8];
  EXPECT_EQ(read_cstring(&f, field, sizeof field), 1);
  EXPECT_STREQ(field, "AB");
  EXPECT_EQ(f.position, 3);
  EXPECT_EQ(read_cstring(&f, field, sizeof field), 0);  // no zero before the end
  EXPECT_STREQ(field, "C");
  EXPECT_EQ(f.position, 4);
  EXPECT_EQ(read_cstring(&f, field, sizeof field), 0);
  EXPECT_STREQ(field, "");

  std::vector<unsigned char> longer = {'1', '2', '3', '4', '5', 0, 'z'};
  tagFile g = over(longer);
  char small[4];
  EXPECT_EQ(read_cstring(&g, small, sizeof small), 1);
  EXPECT_STREQ(small, "123");
  EXPECT_EQ(g.position, 6);
}

TEST(RecordReader, StickyErrorStopsEveryLaterRead) {
  std::vector<unsigned char> b = {1, 0, 2, 0, 0, 0, 9};
  tagFile f = over(b);
  RecordReader r(&f);
  EXPECT_EQ(r.i16(), 1);
  EXPECT_EQ(r.f64(), 0.0);  // 5 bytes left: fails, moves nothing
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(f.position, 2);
  EXPECT_EQ(r.i16(), 0);  // would fit, but the reader has failed
  EXPECT_EQ(f.position, 2);
  EXPECT_EQ(r.remaining(), 0u);
}

TEST(RecordReader, ExpectItemsChecksProductWithoutOverflowAndFailsTheReader) {
  std::vector<unsigned char> b(48);
  struct Case {
    uint64_t count, size;
    bool holds;
  };
  for (const Case c : {Case{3, 16, true}, Case{0, 1000, true}, Case{5, 0, true}, Case{4, 13, false},
                       Case{UINT32_MAX, UINT64_MAX / 2, false}}) {
    tagFile f = over(b);
    RecordReader r(&f);
    EXPECT_EQ(r.expect_items(c.count, c.size), c.holds) << c.count << " x " << c.size;
    EXPECT_EQ(r.ok(), c.holds);
    EXPECT_EQ(f.position, 0);  // nothing read either way
  }
}

TEST(RecordReader, CountedViewFailsWholeWhenCut) {
  std::vector<unsigned char> b = {4, 0, 'a', 'b'};
  tagFile f = over(b);
  RecordReader r(&f);
  EXPECT_TRUE(r.counted_view().empty());
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(f.position, 0);
}

}  // namespace
