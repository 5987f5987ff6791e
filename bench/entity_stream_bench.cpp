// Reads generated entity streams of 1,000,000 records into a fresh drawing of
// the stand-in kernel (tracing off) and reports records/s and bytes/s.
//
//   EntityStream/mixed   lines, points, circles, arcs, solids, four-corner
//                        records, texts, four-string texts, named records and
//                        unknown kinds, with varied property blocks
//   EntityStream/lines   line records only
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "entities/entity_stream.h"
#include "host/zirida_host.h"
#include "kernel/zirida.h"

namespace {

constexpr unsigned long kRecords = 1'000'000;

class StreamWriter {
 public:
  template <class T>
  void put(T value) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes.insert(bytes.end(), raw, raw + sizeof(T));
  }
  void i16(int v) { put(static_cast<int16_t>(v)); }
  void i32(int v) { put(static_cast<int32_t>(v)); }
  void f64(double v) { put(v); }
  void zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
  void str(std::string_view s) {
    i16(static_cast<int>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }

  // Kind code and property block. Every fourth record has its layer and
  // colour, every tenth is mirrored, every fiftieth carries two xdata items.
  void header(int kind, unsigned long i) {
    uint16_t flags = 0;
    if (i % 4 == 0) flags |= 0x0011;
    if (i % 10 == 0) flags |= 0x0040;
    if (i % 50 == 0) flags |= 0x0080;
    i16(kind);
    put(flags);
    if (flags & 0x0001) i16(static_cast<int>(i % 3));
    put(uint32_t{0});
    put(uint32_t{0});
    if (flags & 0x0010) i16(static_cast<int>(1 + i % 255));
    if (flags & 0x0040) {
      put(uint8_t{0});
      put(uint8_t{0});
      put(uint8_t{1});
      f64(-1.0);
    }
    if (flags & 0x0080) {
      put(uint32_t{2});
      i16(1000);
      str("app");
      i16(1040);
      f64(1.5);
    }
  }

  std::vector<unsigned char> bytes;
};

void write_record(StreamWriter& w, unsigned long i, bool lines_only) {
  const double x = static_cast<double>(i % 1000);
  const double y = static_cast<double>(i % 977);
  // Out of every 20 records: 8 lines, 2 points, 2 circles, 2 arcs, 1 solid,
  // 1 four-corner record, 2 texts, 1 four-string text, 1 named record or
  // unknown kind.
  static constexpr int kMix[20] = {2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 3, 3, 4, 4, 6, 5, 7, 7, 11, 8};
  const int kind = lines_only ? 2 : kMix[i % 20];
  const int written_kind = (kind == 8 && i % 40 == 39) ? 9 : kind;
  w.header(written_kind, i);
  switch (written_kind) {
    case 1: w.f64(x); w.f64(y); w.zeros(16); break;
    case 2: w.f64(x); w.f64(y); w.f64(0); w.f64(x + 10); w.f64(y + 5); w.f64(0); break;
    case 3: w.f64(x); w.f64(y); w.f64(0); w.f64(2.5); break;
    case 4: w.f64(x); w.f64(y); w.f64(0); w.f64(2.5); w.f64(15); w.f64(120); break;
    case 5:
    case 6:
      for (int c = 0; c < 4; ++c) { w.f64(x + c); w.f64(y + c % 2); w.f64(0); }
      break;
    case 7:
      w.f64(x); w.f64(y); w.f64(0); w.f64(2.5); w.i32(1); w.f64(30); w.f64(1); w.f64(0);
      w.i32(1); w.zeros(6 + 24);
      w.str("Room 101");
      w.str("STANDARD");
      break;
    case 11:
      w.f64(x); w.f64(y); w.f64(0); w.f64(2.5);
      w.i32(1); w.i32(0); w.i32(1); w.i32(0);  // presence of 1, 3, 2: strings 1 and 2
      w.f64(0); w.f64(1); w.f64(0);
      w.i32(1); w.zeros(6 + 24);
      w.str("TAG"); w.str("value"); w.str("STANDARD");
      break;
    case 8: w.zeros(32); w.i32(1); w.zeros(24); w.str("NAME"); break;
    default: break;  // unknown kinds have no payload
  }
}

const std::vector<unsigned char>& stream(bool lines_only) {
  static const auto build = [](bool only) {
    StreamWriter w;
    w.bytes.reserve(only ? 64 * kRecords : 96 * kRecords);
    for (unsigned long i = 0; i < kRecords; ++i) write_record(w, i, only);
    return w.bytes;
  };
  static const std::vector<unsigned char> mixed = build(false);
  static const std::vector<unsigned char> lines = build(true);
  return lines_only ? lines : mixed;
}

void BM_EntityStream(benchmark::State& state, bool lines_only) {
  const std::vector<unsigned char>& data = stream(lines_only);
  zirida_set_trace(nullptr, nullptr);
  for (auto _ : state) {
    // A fresh drawing per pass; building and dropping it is not measured.
    state.PauseTiming();
    auto drawing = std::make_unique<KT_Drawing>();
    g_current_drawing = drawing.get();
    tagFile f{data.data(), static_cast<int32_t>(data.size()), 0};
    state.ResumeTiming();

    benchmark::DoNotOptimize(LoadTORVEntities(&f, 0, -1, kRecords, 0, 0, 0, 0));

    state.PauseTiming();
    if (f.position != f.length) state.SkipWithError("stream not read to its end");
    g_current_drawing = nullptr;
    drawing.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kRecords));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  state.counters["stream_bytes"] = static_cast<double>(data.size());
}

BENCHMARK_CAPTURE(BM_EntityStream, mixed, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EntityStream, lines, true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
