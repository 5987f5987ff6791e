// LoadTORVDocument end to end on a large synthetic drawing in the page cache,
// with the heap measured: its peak during the load against what the drawing
// keeps (beyond it: the file's 4 MiB window).
// BM_LoadFloor is the least the same work can cost on this machine, measured
// in the same run: mapping the file and touching every page, plus the first
// touch of as much fresh memory, on 2 MiB pages, as the loaded drawing keeps.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "bench/synthetic_drawing.h"
#include "kernel/afx.h"
#include "load/load_document.h"

namespace {
std::atomic<std::size_t> g_in_use{0};
std::atomic<std::size_t> g_peak{0};

void* counted(std::size_t size) {
  // The size sits in front of the block so that delete can count it back.
  auto* p = static_cast<std::size_t*>(std::malloc(size + 16));
  if (p == nullptr) throw std::bad_alloc();
  *p = size;
  const std::size_t now = g_in_use.fetch_add(size, std::memory_order_relaxed) + size;
  std::size_t peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
  return reinterpret_cast<char*>(p) + 16;
}
void uncounted(void* q) {
  if (q == nullptr) return;
  auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(q) - 16);
  g_in_use.fetch_sub(*p, std::memory_order_relaxed);
  std::free(p);
}
}  // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void operator delete(void* p) noexcept { uncounted(p); }
void operator delete[](void* p) noexcept { uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { uncounted(p); }
void operator delete[](void* p, std::size_t) noexcept { uncounted(p); }

namespace {

const std::filesystem::path& drawing_file() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / "kttrv_bench_1m.trv";
    const auto bytes = synth::drawing(synth::Options{});
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
  }();
  return path;
}

void BM_LoadDocument(benchmark::State& state) {
  const auto& path = drawing_file();
  const auto file_size = static_cast<double>(std::filesystem::file_size(path));
  CString name(path.c_str());
  double kept = 0, overhead = 0;
  for (auto _ : state) {
    auto* drawing = new KT_Drawing;
    g_current_drawing = drawing;
    const std::size_t before = g_in_use.load();
    g_peak.store(before);
    const bool ok = LoadTORVDocument(-1, name, drawing);
    const std::size_t after = g_in_use.load();
    kept = static_cast<double>(after - before);
    // What the load held on the heap at its peak beyond the drawing's objects.
    overhead = static_cast<double>(g_peak.load() - before) - kept;
    state.PauseTiming();
    g_current_drawing = nullptr;
    delete drawing;
    if (!ok) {
      state.SkipWithError("load failed");
      break;
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file_size));
  state.counters["file_MB"] = file_size / 1e6;
  state.counters["drawing_MB"] = kept / 1e6;
  state.counters["peak_heap_over_drawing_KiB"] = overhead / 1024;
}
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// The heap a load of the file leaves in its drawing.
std::size_t drawing_bytes() {
  static const std::size_t bytes = [] {
    CString name(drawing_file().c_str());
    auto* drawing = new KT_Drawing;
    const std::size_t before = g_in_use.load();
    LoadTORVDocument(-1, name, drawing);
    const std::size_t kept = g_in_use.load() - before;
    delete drawing;
    return kept;
  }();
  return bytes;
}

void BM_LoadFloor(benchmark::State& state) {
  const auto& path = drawing_file();
  const std::size_t kept = drawing_bytes();
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  const std::size_t fresh = (kept + kHuge - 1) & ~(kHuge - 1);
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY);
    const auto size = static_cast<std::size_t>(lseek(fd, 0, SEEK_END));
    auto* file = static_cast<const volatile unsigned char*>(mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    unsigned sum = 0;
    for (std::size_t at = 0; at < size; at += 4096) sum += file[at];
    benchmark::DoNotOptimize(sum);
    munmap(const_cast<unsigned char*>(file), size);
    close(fd);

    void* raw = mmap(nullptr, fresh + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    auto* memory = reinterpret_cast<unsigned char*>((reinterpret_cast<std::uintptr_t>(raw) + kHuge - 1) & ~(kHuge - 1));
    madvise(memory, fresh, MADV_HUGEPAGE);
    for (std::size_t at = 0; at < fresh; at += 4096) memory[at] = 1;
    benchmark::DoNotOptimize(memory);
    munmap(raw, fresh + kHuge);
  }
  state.counters["drawing_MB"] = static_cast<double>(kept) / 1e6;
}
BENCHMARK(BM_LoadFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
