// The writer: a drawing of 1,000 layers and 1,000 text styles through
// api_kt_save_trv, and the default large drawing (1,000,000 entities, 1,000
// blocks of 100) saved to memory and to a file, next to its load from memory
// in the same run, so that save and load compare on equal terms.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "bench/synthetic_drawing.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "save/drawing_writer.h"
#include "save/save_document.h"
#include "save/save_file.h"

namespace {

std::unique_ptr<KT_Drawing> loaded(const std::vector<unsigned char>& bytes) {
  auto drawing = std::make_unique<KT_Drawing>();
  read_sysvar_list(sysvar_list_path());
  if (!load_torv_buffer(-1, bytes.data(), bytes.size(), *drawing)) return nullptr;
  return drawing;
}

std::string temp_path(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

void BM_SaveDrawing(benchmark::State& state) {
  synth::Options o;
  o.entities = 0;
  o.blocks = 0;
  auto drawing = loaded(synth::drawing(o));
  if (!drawing) return state.SkipWithError("load failed");
  g_current_drawing = drawing.get();
  const std::string path = temp_path("kttrv_bench_save.trv");
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

// The default synthetic drawing, loaded once for the save benchmarks.
const std::vector<unsigned char>& large_file() {
  static const std::vector<unsigned char> bytes = synth::drawing(synth::Options{});
  return bytes;
}
KT_Drawing* large_drawing() {
  static const std::unique_ptr<KT_Drawing> drawing = loaded(large_file());
  return drawing.get();
}

// The floor: loading the same file from memory into a fresh drawing.
void BM_LoadLargeDrawing(benchmark::State& state) {
  const auto& bytes = large_file();
  read_sysvar_list(sysvar_list_path());
  for (auto _ : state) {
    auto drawing = std::make_unique<KT_Drawing>();
    if (!load_torv_buffer(-1, bytes.data(), bytes.size(), *drawing)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(drawing.get());
    state.PauseTiming();
    drawing.reset();  // releasing the drawing is not the load's
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadLargeDrawing)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveLargeDrawingToMemory(benchmark::State& state) {
  KT_Drawing* drawing = large_drawing();
  if (drawing == nullptr) return state.SkipWithError("load failed");
  std::vector<unsigned char> out;
  out.reserve(large_file().size());  // the output's pages are not the writer's work
  for (auto _ : state) {
    out.clear();
    TorvWriter w;
    w.memory = &out;
    SaveReport report;
    if (!write_drawing(w, *drawing, report)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
  state.counters["file_bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_SaveLargeDrawingToMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole save: temporary file, write, flush to disk, rename.
void BM_SaveLargeDrawingToFile(benchmark::State& state) {
  KT_Drawing* drawing = large_drawing();
  if (drawing == nullptr) return state.SkipWithError("load failed");
  const std::string path = temp_path("kttrv_bench_large.trv");
  for (auto _ : state) {
    SaveReport report;
    if (!save_drawing_file(*drawing, path.c_str(), SaveOptions{}, report)) state.SkipWithError("save failed");
  }
  const auto written = std::filesystem::file_size(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
  state.counters["file_bytes"] = static_cast<double>(written);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveLargeDrawingToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
