// The cursor's reads, each cut at every byte, at the file's end and at a
// nested section's end: a cut read fails, moves nothing, and keeps its
// reason and offset; the nested section's failure is its parent's.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "format/load_context.h"
#include "format/record_reader.h"

namespace {

constexpr int32_t kLead = 3;  // bytes read before the read under test

struct ReadKind {
  const char* name;
  std::vector<unsigned char> bytes;  // what the read consumes, whole
  std::function<void(RecordReader&)> read;
};

std::vector<ReadKind> read_kinds() {
  const std::vector<unsigned char> eight = {1, 2, 3, 4, 5, 6, 7, 8};
  auto first = [&](std::size_t n) { return std::vector<unsigned char>(eight.begin(), eight.begin() + n); };
  return {
      {"u8", first(1), [](RecordReader& r) { r.u8(); }},
      {"i16", first(2), [](RecordReader& r) { r.i16(); }},
      {"u32", first(4), [](RecordReader& r) { r.u32(); }},
      {"f64", first(8), [](RecordReader& r) { r.f64(); }},
      {"record<6>", first(6), [](RecordReader& r) {
         const auto rec = r.record<6>();  // a cut record reads zeros
         EXPECT_EQ((rec.get<int16_t, 4>()), r.ok() ? 0x0605 : 0);
       }},
      {"record(5)", first(5), [](RecordReader& r) { r.record(5); }},
      {"bytes", first(7), [](RecordReader& r) { unsigned char d[7]; r.bytes(d, sizeof d); }},
      {"skip", first(5), [](RecordReader& r) { r.skip(5); }},
      {"counted", {3, 0, 'a', 'b', 'c'}, [](RecordReader& r) {
         const std::string_view s = r.counted_view();
         EXPECT_EQ(s, r.ok() ? "abc" : "");
       }},
      {"zero-terminated", {'a', 'b', 0}, [](RecordReader& r) {
         const std::string_view s = r.zero_terminated();
         EXPECT_EQ(s, r.ok() ? "ab" : "");
       }},
      {"section", first(4), [](RecordReader& r) { r.section(4).u32(); }},
      {"section at", first(4), [](RecordReader& r) { r.section(r.offset(), 4).u32(); }},
  };
}

TEST(Cursor, EveryReadCutAtEveryByteFailsInPlaceWithItsReasonAndOffset) {
  for (const ReadKind& k : read_kinds()) {
    for (std::size_t cut = 0; cut <= k.bytes.size(); ++cut) {
      for (const bool nested : {false, true}) {
        SCOPED_TRACE(std::string(k.name) + " cut at " + std::to_string(cut) + (nested ? " in a section" : ""));
        // Nested: the whole read is in the file, but the section ends at the cut.
        std::vector<unsigned char> data(kLead, 0xEE);
        data.insert(data.end(), k.bytes.begin(), k.bytes.begin() + static_cast<long>(nested ? k.bytes.size() : cut));
        tagFile f{data.data(), static_cast<int32_t>(data.size()), 0};
        RecordReader root(&f);
        RecordReader section = root.section(kLead + cut);
        RecordReader& r = nested ? section : root;
        r.skip(kLead);
        k.read(r);
        const bool whole = cut == k.bytes.size();
        EXPECT_EQ(r.ok(), whole);
        EXPECT_EQ(root.ok(), whole);  // a section's failure is its parent's
        EXPECT_EQ(f.position, whole ? kLead + static_cast<int32_t>(cut) : kLead);
        EXPECT_EQ(root.failure(), whole ? ReadFailure::none : ReadFailure::end_of_data);
        EXPECT_EQ(root.failed_at(), whole ? -1 : kLead);
        if (!whole) {  // sticky: nothing moves after a failure, and the first reason stays
          r.skip(0);
          r.u8();
          EXPECT_EQ(f.position, kLead);
          EXPECT_EQ(root.failed_at(), kLead);
        }
      }
    }
  }
}

// A position outside the data (before its start, past its end) holds no
// byte: every read there fails where it stands and moves nothing.
TEST(Cursor, EveryReadAtAPositionOutsideTheDataFailsInPlace) {
  std::vector<unsigned char> data(16, 0x01);
  const int32_t size = static_cast<int32_t>(data.size());
  for (const ReadKind& k : read_kinds()) {
    for (const int32_t at : {-1, -8, -1000, INT32_MIN, size + 1, size + 100, INT32_MAX}) {
      SCOPED_TRACE(std::string(k.name) + " at " + std::to_string(at));
      tagFile f{data.data(), size, 0};
      RecordReader r(&f);
      r.seek(at);
      k.read(r);
      EXPECT_FALSE(r.ok());
      EXPECT_EQ(f.position, at);
      EXPECT_EQ(r.failure(), ReadFailure::end_of_data);
      EXPECT_EQ(r.failed_at(), at);
    }
  }
}

TEST(Cursor, ImpossibleCountFailsWithItsOwnReason) {
  std::vector<unsigned char> data(12);
  tagFile f{data.data(), 12, 0};
  RecordReader r(&f);
  r.skip(4);
  EXPECT_TRUE(r.expect_items(2, 4));
  EXPECT_FALSE(r.expect_items(3, 3));  // 9 bytes in 8
  EXPECT_EQ(r.failure(), ReadFailure::impossible_count);
  EXPECT_EQ(r.failed_at(), 4);
  EXPECT_EQ(f.position, 4);
}

TEST(Cursor, FailureTextNamesTheReason) {
  std::vector<std::string> messages;
  std::vector<unsigned char> data(6);
  tagFile f{data.data(), 6, 0};
  LoadContext context;
  context.diagnostics.sink = [](const char* m, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(m); };
  context.diagnostics.sink_context = &messages;
  f.context = &context;
  RecordReader cut(&f);
  cut.f64();
  report_read_failure(cut, "layers", 0, "record %d of %d", 0, 1);
  RecordReader count(&f);
  count.expect_items(7, 1);
  report_read_failure(count, "layers", 0, "record %d of %d", 0, 1);
  RecordReader bad(&f);
  bad.skip(2);
  bad.fail();
  report_read_failure(bad, "layers", 0, "record %d of %d", 0, 1);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "layers: record 0 of 1 cut short by the end of the data at byte 0",
                          "layers: record 0 of 1 claims a count the rest of the data cannot hold (byte 0) at byte 0",
                          "layers: record 0 of 1 holds a value it cannot have (byte 2) at byte 0",
                      }));
}

}  // namespace
