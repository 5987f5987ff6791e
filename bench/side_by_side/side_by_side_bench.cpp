// The load as a host makes it (the shared plug-in's LoadTORVDocument) next to
// its floor on the same machine in the same run, and trv's dump and info next
// to the load; the ratios are printed at the end.
//
//   kttrv_side_by_side DRAWING [LARGE_FILE] [benchmark flags]
//
// The floor: mapping the file and touching every page, plus the first touch
// of as much fresh memory, advised for 2 MiB pages, as the loaded drawing
// keeps. The trv commands run as processes with their output to /dev/null;
// their peak resident memory is reported next to the budget (drawing + file
// + 64 MiB); trv render's in each format next to the load it makes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "host/zirida_host.h"
#include "kttrv/kttrv.h"
#include "load/load_document.h"

namespace {

std::string g_drawing;
std::string g_large;
double g_file_bytes = 0;
double g_kept_bytes = 0;
double g_kept_carried_bytes = 0;

constexpr std::size_t kPage = 4096;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU time of this process, user and system: on a machine shared with other
// work it moves far less than the wall clock.
double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The CPU time of each iteration, whose median the report sets side by side.
void report_cpu(benchmark::State& state, double seconds) { state.counters["cpu_ms"] = seconds * 1e3; }

// Loads the drawing as a host does; the bytes its arena holds afterwards.
bool load_once(double* kept) {
  auto* drawing = new KT_Drawing;
  KT_Drawing* target = drawing;
  g_current_drawing = drawing;
  CString path(g_drawing.c_str());
  const bool ok = LoadTORVDocument(-1, path, target);
  if (kept) *kept = static_cast<double>(zirida_reserved_bytes(*drawing));
  g_current_drawing = nullptr;
  delete drawing;
  return ok;
}

void floor(benchmark::State& state, double kept_bytes) {
  const int fd = open(g_drawing.c_str(), O_RDONLY);
  const auto file = static_cast<std::size_t>(g_file_bytes);
  const auto fresh = (static_cast<std::size_t>(kept_bytes) + kHugePage - 1) / kHugePage * kHugePage;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = cpu_seconds();
    void* map = mmap(nullptr, file, PROT_READ, MAP_PRIVATE, fd, 0);
    unsigned sum = 0;
    for (std::size_t at = 0; at < file; at += kPage) sum += static_cast<const unsigned char*>(map)[at];
    benchmark::DoNotOptimize(sum);
    munmap(map, file);
    // Fresh memory on a 2 MiB boundary, advised for huge pages, every page written once.
    auto* block = static_cast<char*>(mmap(nullptr, fresh + kHugePage, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    char* aligned = block + (kHugePage - reinterpret_cast<std::uintptr_t>(block) % kHugePage) % kHugePage;
    madvise(aligned, fresh, MADV_HUGEPAGE);
    for (std::size_t at = 0; at < fresh; at += kPage) aligned[at] = 1;
    benchmark::ClobberMemory();
    munmap(block, fresh + kHugePage);
    state.SetIterationTime(seconds_since(start));
    report_cpu(state, cpu_seconds() - cpu);
  }
  close(fd);
  state.counters["file_MB"] = g_file_bytes / 1e6;
  state.counters["fresh_MB"] = static_cast<double>(fresh) / 1e6;
}

void BM_Floor(benchmark::State& state) { floor(state, g_kept_bytes); }
// The same with as much fresh memory as the carried load keeps (the file's
// bytes and a slot for every record beside the drawing): what its extra
// memory costs on this machine, whatever the work.
void BM_FloorCarried(benchmark::State& state) { floor(state, g_kept_carried_bytes); }

// Loads the drawing afresh each iteration, timed; the bytes the last one
// kept (its arena, and what it carried).
double time_loads(benchmark::State& state) {
  double kept = 0;
  for (auto _ : state) {
    auto* drawing = new KT_Drawing;
    KT_Drawing* target = drawing;
    g_current_drawing = drawing;
    CString path(g_drawing.c_str());
    const auto start = std::chrono::steady_clock::now();
    const double cpu = cpu_seconds();
    const bool ok = LoadTORVDocument(-1, path, target);
    state.SetIterationTime(seconds_since(start));
    report_cpu(state, cpu_seconds() - cpu);
    kept = static_cast<double>(zirida_reserved_bytes(*drawing));
    g_current_drawing = nullptr;
    delete drawing;
    if (!ok) state.SkipWithError("the load failed");
  }
  return kept;
}

void BM_Load(benchmark::State& state) {
  time_loads(state);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(g_file_bytes));
  state.counters["drawing_MB"] = g_kept_bytes / 1e6;
}

// The load with the stand-in kernel keeping every stored record (the host's
// observer registered), and the save of that drawing, which writes them back.
void carry(bool on) {
  if (on)
    KtTrvSetCarrying([](KT_Drawing& d, void*) { return zirida_carry(d); },
                     [](const KT_Drawing& d, void*) { return zirida_carried(d); }, nullptr);
  else
    KtTrvSetCarrying(nullptr, nullptr, nullptr);
}

void BM_LoadCarried(benchmark::State& state) {
  carry(true);
  state.counters["drawing_MB"] = time_loads(state) / 1e6;
  carry(false);
}

// to: /dev/null (the writer's own work) or a file in memory (/dev/shm: the
// file system's pages too).
void save_carried(benchmark::State& state, std::string out) {
  carry(true);
  KT_Drawing drawing;
  KT_Drawing* target = &drawing;
  CString path(g_drawing.c_str());
  if (!LoadTORVDocument(-1, path, target)) state.SkipWithError("the load failed");
  for (auto _ : state) {
    g_current_drawing = &drawing;
    const auto start = std::chrono::steady_clock::now();
    const double cpu = cpu_seconds();
    const bool ok = api_kt_save_trv(out.data());
    state.SetIterationTime(seconds_since(start));
    report_cpu(state, cpu_seconds() - cpu);
    g_current_drawing = nullptr;
    if (!ok) state.SkipWithError("the save failed");
  }
  if (out != "/dev/null") unlink(out.c_str());
  carry(false);
}

void BM_SaveCarried(benchmark::State& state) { save_carried(state, "/dev/null"); }
void BM_SaveCarriedFile(benchmark::State& state) {
  save_carried(state, "/dev/shm/kttrv-side-by-side-" + std::to_string(getpid()) + ".trv");
}

// trv with args, output to /dev/null: the wall time, the CPU time and the
// peak resident memory. fork, not posix_spawn: a child that shares this
// process's memory until exec would inherit its peak as its own.
void run_trv(benchmark::State& state, std::vector<std::string> args, int expected_status = 0) {
  args.insert(args.begin(), TRV_PATH);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  double peak_kb = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != expected_status) {
      state.SkipWithError("trv failed");
      break;
    }
    state.SetIterationTime(seconds_since(start));
    report_cpu(state, static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6);
    peak_kb = static_cast<double>(usage.ru_maxrss);
  }
  state.counters["peak_MiB"] = peak_kb / 1024;
  state.counters["budget_MiB"] = (g_kept_bytes + g_file_bytes) / (1024 * 1024) + 64;
}

// The load alone as a process: what trv dump and trv info pay before they
// write a byte (a fresh process's first touch of its memory included).
void BM_TrvCheck(benchmark::State& state) { run_trv(state, {"check", g_drawing}); }
void BM_TrvDump(benchmark::State& state) { run_trv(state, {"dump", g_drawing}); }
void BM_TrvInfo(benchmark::State& state) { run_trv(state, {"info", g_drawing}); }
void BM_TrvInfoDirectoryLarge(benchmark::State& state) { run_trv(state, {"info", "--directory", g_large}); }

// trv render to standard output (/dev/null), each format; and the load it
// makes (carrying every record, for the attributes and colour numbers)
// drawing nothing: a layer asked for that is not there stops it after the load.
void BM_TrvRenderLoad(benchmark::State& state) {
  run_trv(state, {"render", g_drawing, "-o", "-", "--format", "svg", "--layer", "no such layer"}, 1);
}
void BM_TrvRenderSvg(benchmark::State& state) { run_trv(state, {"render", g_drawing, "-o", "-", "--format", "svg"}); }
void BM_TrvRenderPdf(benchmark::State& state) { run_trv(state, {"render", g_drawing, "-o", "-", "--format", "pdf"}); }
void BM_TrvRenderPng(benchmark::State& state) { run_trv(state, {"render", g_drawing, "-o", "-", "--format", "png"}); }

// The console report, then each figure against the one it is measured by.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
        median_ms_[r.run_name.function_name] = r.GetAdjustedRealTime();
        if (auto cpu = r.counters.find("cpu_ms"); cpu != r.counters.end())
          median_cpu_ms_[r.run_name.function_name] = cpu->second.value;
        if (auto peak = r.counters.find("peak_MiB"); peak != r.counters.end())
          peak_mib_[r.run_name.function_name] = peak->second.value;
      }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto& out = GetOutputStream();
    out << "\nmedians, side by side (wall clock; CPU time of the process):\n";
    ratio(out, "load / floor", "BM_Load", "BM_Floor", 3.0);
    ratio(out, "carried load / load", "BM_LoadCarried", "BM_Load", 1.3);
    extra(out, "carried load - load", "BM_LoadCarried", "BM_Load", "BM_FloorCarried", "BM_Floor");
    ratio(out, "carried save / load", "BM_SaveCarried", "BM_Load", 2.0);
    ratio(out, "  to /dev/shm / load", "BM_SaveCarriedFile", "BM_Load", 2.0);
    ratio(out, "trv dump / load", "BM_TrvDump", "BM_Load", 3.0);
    ratio(out, "trv info / load", "BM_TrvInfo", "BM_Load", 1.5);
    out << "the same against the load as a process (trv check):\n";
    ratio(out, "trv dump / trv check", "BM_TrvDump", "BM_TrvCheck", 3.0);
    ratio(out, "trv info / trv check", "BM_TrvInfo", "BM_TrvCheck", 1.5);
    ratio(out, "render svg / check", "BM_TrvRenderSvg", "BM_TrvCheck", 30.0);
    ratio(out, "render pdf / check", "BM_TrvRenderPdf", "BM_TrvCheck", 30.0);
    ratio(out, "render png / check", "BM_TrvRenderPng", "BM_TrvCheck", 20.0);
    ratio(out, "render's load / check", "BM_TrvRenderLoad", "BM_TrvCheck", 30.0);
    out << "peak resident memory, above trv check's and above the load render makes (goal <= 64 MiB):\n";
    for (const char* name : {"BM_TrvRenderSvg", "BM_TrvRenderPdf", "BM_TrvRenderPng"}) {
      if (!peak_mib_.count(name) || !peak_mib_.count("BM_TrvCheck") || !peak_mib_.count("BM_TrvRenderLoad")) continue;
      print(out, "  %-20s %7.1f MiB: %+7.1f MiB over check, %+6.1f MiB over its load\n", name + 3, peak_mib_[name],
            peak_mib_[name] - peak_mib_["BM_TrvCheck"], peak_mib_[name] - peak_mib_["BM_TrvRenderLoad"]);
    }
    if (median_ms_.count("BM_TrvInfoDirectoryLarge"))
      print(out, "  %-22s %9.1f ms   (goal < 50 ms)\n", "trv info --directory", median_ms_["BM_TrvInfoDirectoryLarge"]);
  }

 private:
  template <class... A>
  static void print(std::ostream& out, const char* format, A... values) {
    char line[160];
    std::snprintf(line, sizeof line, format, values...);
    out << line;
  }
  void ratio(std::ostream& out, const char* what, const std::string& a, const std::string& b, double goal) {
    if (!median_ms_.count(a) || !median_ms_.count(b)) return;
    print(out, "  %-20s %7.1f / %7.1f ms = %5.2f;  cpu %7.1f / %7.1f ms = %5.2f   (goal <= %.1f)\n", what,
          median_ms_[a], median_ms_[b], median_ms_[a] / median_ms_[b], median_cpu_ms_[a], median_cpu_ms_[b],
          median_cpu_ms_[a] / median_cpu_ms_[b], goal);
  }
  // What a has beyond b, against what the floor c has beyond its floor d.
  void extra(std::ostream& out, const char* what, const std::string& a, const std::string& b, const std::string& c,
             const std::string& d) {
    for (const std::string& n : {a, b, c, d})
      if (!median_ms_.count(n)) return;
    print(out, "  %-20s %7.1f ms;  cpu %7.1f ms, of which the floor of its extra memory %.1f ms (cpu %.1f)\n", what,
          median_ms_[a] - median_ms_[b], median_cpu_ms_[a] - median_cpu_ms_[b], median_ms_[c] - median_ms_[d],
          median_cpu_ms_[c] - median_cpu_ms_[d]);
  }
  std::map<std::string, double> median_ms_;
  std::map<std::string, double> median_cpu_ms_;
  std::map<std::string, double> peak_mib_;
};

}  // namespace

int main(int argc, char** argv) {
  // The repetitions of all benchmarks run interleaved in a random order: on a
  // virtual machine, memory freed in 2 MiB blocks may go back to the host,
  // and the next first touch of fresh memory then costs several times as
  // much for a while. In a fixed order, whatever ran after the in-process
  // loads paid for their frees. A flag given on the command line comes later
  // and wins.
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DRAWING [LARGE_FILE] [benchmark flags]\n", argv[0]);
    return 2;
  }
  g_drawing = argv[1];
  if (argc > 2) g_large = argv[2];
  struct stat st {};
  if (stat(g_drawing.c_str(), &st) != 0 || !load_once(&g_kept_bytes)) {
    std::fprintf(stderr, "%s: cannot be loaded\n", g_drawing.c_str());
    return 1;
  }
  g_file_bytes = static_cast<double>(st.st_size);
  carry(true);
  load_once(&g_kept_carried_bytes);
  carry(false);
  auto each = [](benchmark::internal::Benchmark* b) {
    return b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5)->ReportAggregatesOnly();
  };
  each(benchmark::RegisterBenchmark("BM_Floor", BM_Floor));
  each(benchmark::RegisterBenchmark("BM_FloorCarried", BM_FloorCarried));
  each(benchmark::RegisterBenchmark("BM_Load", BM_Load));
  each(benchmark::RegisterBenchmark("BM_LoadCarried", BM_LoadCarried));
  each(benchmark::RegisterBenchmark("BM_SaveCarried", BM_SaveCarried));
  each(benchmark::RegisterBenchmark("BM_SaveCarriedFile", BM_SaveCarriedFile));
  each(benchmark::RegisterBenchmark("BM_TrvCheck", BM_TrvCheck));
  each(benchmark::RegisterBenchmark("BM_TrvDump", BM_TrvDump));
  each(benchmark::RegisterBenchmark("BM_TrvInfo", BM_TrvInfo));
  if (!g_large.empty()) each(benchmark::RegisterBenchmark("BM_TrvInfoDirectoryLarge", BM_TrvInfoDirectoryLarge));
  each(benchmark::RegisterBenchmark("BM_TrvRenderLoad", BM_TrvRenderLoad));
  each(benchmark::RegisterBenchmark("BM_TrvRenderSvg", BM_TrvRenderSvg));
  each(benchmark::RegisterBenchmark("BM_TrvRenderPdf", BM_TrvRenderPdf));
  // The PNG of a saturated picture takes many seconds: three runs.
  each(benchmark::RegisterBenchmark("BM_TrvRenderPng", BM_TrvRenderPng))->Repetitions(3);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
