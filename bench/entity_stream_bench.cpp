// The entity stream reader on generated streams of 1,000,000 records, read
// into a fresh drawing of the stand-in kernel (tracing off): the realistic
// mix, and each kind of the mix alone. Reports records/s and bytes/s.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "kttrv/kttrv.h"
#include "bench/synthetic_drawing.h"
#include "entities/entity_stream.h"
#include "host/zirida_host.h"
#include "kernel/zirida.h"

namespace {

constexpr uint32_t kRecords = 1'000'000;

// Streams are generated once per kind and kept for every repetition.
const std::vector<unsigned char>& stream(int kind) {
  static std::map<int, std::vector<unsigned char>> streams;
  auto& s = streams[kind];
  if (s.empty()) {
    const auto mix = static_cast<synth::Mix>(kind);
    s = synth::entity_stream(kRecords, kind < 0 ? nullptr : &mix);
  }
  return s;
}

void BM_EntityStream(benchmark::State& state, int kind) {
  const std::vector<unsigned char>& data = stream(kind);
  zirida_set_trace(nullptr, nullptr);
  for (auto _ : state) {
    // A fresh drawing per pass; building and dropping it is not measured.
    state.PauseTiming();
    auto drawing = std::make_unique<KT_Drawing>();
    g_current_drawing = drawing.get();
    // The generated section starts with its record count.
    tagFile f{data.data() + 4, static_cast<int32_t>(data.size() - 4), 0};
    state.ResumeTiming();

    benchmark::DoNotOptimize(LoadTORVEntities(&f, 0, -1, kRecords, 0, 0, 0, 0));

    state.PauseTiming();
    const bool whole = f.position == f.length;
    g_current_drawing = nullptr;
    drawing.reset();
    if (!whole) {
      state.SkipWithError("stream not read to its end");
      break;
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  state.counters["bytes_per_record"] = static_cast<double>(data.size()) / kRecords;
}

#define KTTRV_KIND_BENCH(name, kind) \
  BENCHMARK_CAPTURE(BM_EntityStream, name, kind)->Unit(benchmark::kMillisecond)->UseRealTime()

KTTRV_KIND_BENCH(mixed, -1);
KTTRV_KIND_BENCH(lines, static_cast<int>(synth::Mix::lines));
KTTRV_KIND_BENCH(arcs, static_cast<int>(synth::Mix::arcs));
KTTRV_KIND_BENCH(circles, static_cast<int>(synth::Mix::circles));
KTTRV_KIND_BENCH(texts, static_cast<int>(synth::Mix::texts));
KTTRV_KIND_BENCH(polylines, static_cast<int>(synth::Mix::polylines));
KTTRV_KIND_BENCH(point_chains, static_cast<int>(synth::Mix::point_chains));
KTTRV_KIND_BENCH(inserts, static_cast<int>(synth::Mix::inserts));
KTTRV_KIND_BENCH(dimensions, static_cast<int>(synth::Mix::dimensions));
KTTRV_KIND_BENCH(points, static_cast<int>(synth::Mix::points));
KTTRV_KIND_BENCH(solids, static_cast<int>(synth::Mix::solids));
KTTRV_KIND_BENCH(skipped, static_cast<int>(synth::Mix::skipped));

}  // namespace
