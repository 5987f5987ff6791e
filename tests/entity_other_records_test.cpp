#include <gtest/gtest.h>

#include <chrono>

#include "kttrv/kttrv.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/entity_builder.h"
#include "tests/support/entity_stream_run.h"

namespace {

// Kind 26: 240 bytes, a count, then the strings.
Bytes string_list(uint32_t count, const std::vector<std::string>& strings) {
  Bytes b = Bytes().zeros(240).u32(count);
  for (const auto& s : strings) b.str(s);
  return b;
}

// Kind 29: 100 bytes with presence fields at 92 and 96.
Bytes two_strings(int32_t a, int32_t b) { return Bytes().zeros(92).i32(a).i32(b); }

// Kind 43: 58 bytes with presence A at 40, byte count n at 46, presence B at 54.
Bytes string_bytes(int32_t a, int32_t n, int32_t b) {
  return Bytes().zeros(40).i32(a).zeros(2).i32(n).zeros(4).i32(b);
}

// Kind 45: 136 bytes with a count of 16-byte items at 104 and a byte count at 112.
Bytes items(int32_t p, int32_t q) { return Bytes().zeros(104).i32(p).zeros(4).i32(q).zeros(20); }

// Kind 100 (and a blob item's body): a value, size1, size2, has1, has2, has3.
Bytes blob(uint32_t size1, uint32_t size2, uint32_t has1, uint32_t has2, uint32_t has3) {
  return Bytes().u32(0xABCD).u32(size1).u32(size2).u32(has1).u32(has2).u32(has3);
}

class OtherRecord : public DrawingTest {};

TEST_F(OtherRecord, EachKindOccupiesExactlyItsBytesAndCreatesNothing) {
  const struct {
    const char* what;
    int kind;
    Bytes payload;
    std::size_t size;  // behind the property block
  } cases[] = {
      {"17", 17, Bytes().zeros(98), 98},
      {"26, no strings", 26, string_list(0, {}), 244},
      {"26, strings of 2 and 0 characters", 26, string_list(2, {"ab", ""}), 250},
      {"26, negative length", 26, string_list(1, {}).i16(-3), 246},
      {"29, neither string", 29, two_strings(0, 0), 100},
      {"29, B only", 29, two_strings(0, 1).str("bb"), 104},
      {"29, both", 29, two_strings(-1, 5).str("a").str("bcd"), 100 + 3 + 5},
      {"43, A, n and B", 43, string_bytes(1, 3, 1).str("x").zeros(3).str("yz"), 58 + 3 + 3 + 4},
      {"43, n = -4 reads no bytes", 43, string_bytes(0, -4, 0), 58},
      {"43, B only", 43, string_bytes(0, 0, 1).str("q"), 58 + 3},
      {"45, p = 3 and q = 5", 45, items(3, 5).zeros(48 + 5), 136 + 48 + 5},
      {"45, negative counts", 45, items(-3, -5), 136},
      {"100, has1 clear with size1 1000, size2 3", 100, blob(1000, 3, 0, 1, 0).zeros(3), 24 + 3},
      {"100, all three", 100, blob(2, 3, 1, 1, 1).zeros(5).u32(4).zeros(4), 24 + 2 + 3 + 4 + 4},
      {"100, has3 with n = 0", 100, blob(9, 9, 0, 0, 7).u32(0), 28},
      {"12 has no payload", 12, {}, 0},
      {"0 has no payload", 0, {}, 0},
      {"101 has no payload", 101, {}, 0},
      {"-5 has no payload", -5, {}, 0},
      {"9 has no payload", 9, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.payload.size(), c.size);
    Bytes stream = entity(c.kind, {}, c.payload);
    stream.append(unknown_record());
    const StreamRun one = run_stream(stream, 1);
    EXPECT_TRUE(one.complete);
    EXPECT_EQ(one.position, static_cast<int32_t>(12 + c.size));
    const StreamRun two = run_stream(stream, 2);
    EXPECT_TRUE(two.complete);
    EXPECT_EQ(two.position, static_cast<int32_t>(stream.size()));
  }
  EXPECT_TRUE(trace.empty());
}

TEST_F(OtherRecord, CountsThatRunPastTheDataEndTheStream) {
  const struct {
    const char* what;
    int kind;
    Bytes payload;
  } cases[] = {
      {"17 cut short", 17, Bytes().zeros(97)},
      {"26, count of 4 billion strings", 26, string_list(0xFFFFFFFF, {"a", "b"})},
      {"26, string longer than the data", 26, string_list(1, {}).i16(100).zeros(10)},
      {"29, string announced but absent", 29, two_strings(1, 0)},
      {"43, n past the end", 43, string_bytes(0, 0x7FFFFFFF, 0).zeros(8)},
      {"45, p past the end", 45, items(0x7FFFFFFF, 0).zeros(32)},
      {"45, q past the end", 45, items(1, 0x7FFFFFFF).zeros(16)},
      {"100, size1 past the end", 100, blob(0xFFFFFFFF, 0, 1, 0, 0).zeros(8)},
      {"100, n past the end", 100, blob(0, 0, 0, 0, 1).u32(0xFFFFFFFF)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes stream = entity(c.kind, {}, c.payload);
    const StreamRun run = run_stream(stream, 2);
    EXPECT_FALSE(run.complete);
    EXPECT_LE(run.position, static_cast<int32_t>(stream.size()));
  }
  EXPECT_TRUE(trace.empty());
}

TEST_F(OtherRecord, AFewBytesClaimingFourBillionRecordsFinishAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  // A short tail after whole unknown records, and an empty stream.
  Bytes stream = unknown_record().append(unknown_record()).u8(1).u8(2).u8(3);
  EXPECT_FALSE(run_stream(stream, 0xFFFFFFFFul).complete);
  EXPECT_FALSE(run_stream(Bytes(), 0xFFFFFFFFul).complete);
  tagFile f;
  f.buffer = stream.data().data();
  f.length = static_cast<int32_t>(stream.size());
  EXPECT_EQ(LoadTORVEntities(&f, 0, -1, 0xFFFFFFFFul, 0, 0, 0, 0), 1);
  EXPECT_LE(f.position, f.length);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
