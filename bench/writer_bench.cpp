// The writer on a drawing of 1,000 layers and 1,000 text styles.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "bench/synthetic_drawing.h"
#include "load/load_document.h"
#include "tables/sysvar_list.h"
#include "save/save_document.h"

namespace {

void BM_SaveDrawing(benchmark::State& state) {
  synth::Options o;
  o.entities = 0;
  o.blocks = 0;
  const auto bytes = synth::drawing(o);
  auto drawing = std::make_unique<KT_Drawing>();
  g_current_drawing = drawing.get();
  read_sysvar_list(sysvar_list_path());
  if (!load_torv_buffer(-1, bytes.data(), bytes.size(), *drawing)) state.SkipWithError("load failed");
  const std::string path = (std::filesystem::temp_directory_path() / "kttrv_bench_save.trv").string();
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  for (auto _ : state) {
    if (!api_kt_save_trv(name.data())) {
      state.SkipWithError("save failed");
      break;
    }
  }
  const auto written = std::filesystem::file_size(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
  state.counters["file_bytes"] = static_cast<double>(written);
  g_current_drawing = nullptr;
}
BENCHMARK(BM_SaveDrawing)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
