#include "tools/trv/batch_run.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "tools/trv/cli_support.h"

namespace trv {

const char* batch_status_name(BatchStatus s) {
  switch (s) {
    case BatchStatus::converted: return "converted";
    case BatchStatus::skipped: return "skipped";
    case BatchStatus::damaged: return "damaged";
    case BatchStatus::refused_for_loss: return "refused for loss";
    case BatchStatus::failed: return "failed";
  }
  return "failed";
}

namespace {

// The progress line, with the bytes done so far.
class Progress {
 public:
  explicit Progress(std::size_t total) : line_(total) {}
  void show(std::size_t done, std::uintmax_t bytes, const std::string& current) const {
    line_.show(done, std::to_string(bytes) + " bytes  " + current);
  }
  void clear() const { line_.clear(); }

 private:
  ProgressLine line_;
};

struct Tally {
  std::size_t done = 0;
  std::uintmax_t bytes = 0;
  std::vector<std::size_t> by_status[kBatchStatuses];  // indexes into the inputs

  void record(std::size_t index, BatchStatus status, std::uintmax_t read) {
    ++done;
    bytes += read;
    by_status[static_cast<int>(status)].push_back(index);
  }
  std::size_t count(BatchStatus s) const { return by_status[static_cast<int>(s)].size(); }
};

// Inputs first, first + step, ...: each outcome to `report` as soon as it
// is known (some only once settled).
template <typename Report>
void run_share(BatchWork& work, std::size_t count, std::size_t first, std::size_t step, Report report) {
  for (std::size_t i = first; i < count; i += step) {
    if (std::optional<BatchOutcome> o = work.convert(i)) report(i, *o);
    for (const auto& [j, o] : work.settle(false)) report(j, o);
  }
  for (const auto& [j, o] : work.settle(true)) report(j, o);
}

void run_in_process(const BatchRun& run, BatchWork& work, std::size_t first, std::size_t step, Tally& tally,
                    const Progress& progress) {
  run_share(work, run.inputs.size(), first, step, [&](std::size_t i, const BatchOutcome& o) {
    tally.record(i, o.status, o.bytes);
    progress.show(tally.done, tally.bytes, run.inputs[i].path);
  });
}

#if !defined(_WIN32)
// Inputs i with i % jobs == worker; each result goes to `results` as
// "<index> <status> <bytes>\n", one write each (well below the size a pipe
// takes whole).
void convert_share(const BatchRun& run, BatchWork& work, std::size_t worker, std::size_t jobs, int results) {
  bool open = true;
  run_share(work, run.inputs.size(), worker, jobs, [&](std::size_t i, const BatchOutcome& o) {
    const std::string line =
        std::to_string(i) + " " + std::to_string(static_cast<int>(o.status)) + " " + std::to_string(o.bytes) + "\n";
    if (open && write(results, line.data(), line.size()) < 0) open = false;
  });
}

// Worker processes report through one pipe. A share whose worker could not
// be started is converted here.
void run_in_workers(const BatchRun& run, BatchWork& work, std::size_t jobs, Tally& tally, const Progress& progress) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error(std::string("cannot start workers: ") + std::strerror(errno));
  std::fflush(nullptr);
  std::vector<pid_t> workers;
  std::vector<std::size_t> unstarted;
  for (std::size_t w = 0; w < jobs; ++w) {
    const pid_t pid = fork();
    if (pid < 0) {
      unstarted.push_back(w);
      continue;
    }
    if (pid == 0) {
      close(fds[0]);
      convert_share(run, work, w, jobs, fds[1]);
      std::fflush(nullptr);
      _exit(0);
    }
    workers.push_back(pid);
  }
  close(fds[1]);
  if (workers.empty()) close(fds[0]);
  for (const std::size_t w : unstarted) run_in_process(run, work, w, jobs, tally, progress);
  std::vector<bool> reported(run.inputs.size(), false);
  for (std::size_t w : unstarted)
    for (std::size_t i = w; i < reported.size(); i += jobs) reported[i] = true;
  std::FILE* results = workers.empty() ? nullptr : fdopen(fds[0], "r");
  std::size_t index = 0;
  int status = 0;
  std::uintmax_t bytes = 0;
  while (results != nullptr && std::fscanf(results, "%zu %d %ju", &index, &status, &bytes) == 3) {
    if (index >= reported.size() || reported[index] || status < 0 || status >= kBatchStatuses) continue;
    reported[index] = true;
    tally.record(index, static_cast<BatchStatus>(status), bytes);
    progress.show(tally.done, tally.bytes, run.inputs[index].path);
  }
  if (results != nullptr) std::fclose(results);
  for (const pid_t pid : workers) waitpid(pid, nullptr, 0);
  for (std::size_t i = 0; i < reported.size(); ++i) {
    if (reported[i]) continue;
    error(run.inputs[i].path + ": not " + run.done + " (its worker stopped)");
    tally.record(i, BatchStatus::failed, 0);
  }
}
#endif

// "; 2 failed: a b": the inputs of one status, the first few by name.
std::string status_part(const Tally& tally, const std::vector<BatchInput>& inputs, BatchStatus s) {
  std::vector<std::size_t> which = tally.by_status[static_cast<int>(s)];
  if (which.empty()) return "";
  std::sort(which.begin(), which.end());  // workers finish in any order
  std::string part = "; " + std::to_string(which.size()) + " " + batch_status_name(s);
  if (s == BatchStatus::skipped) return part;
  constexpr std::size_t kNamed = 20;
  part += ":";
  for (std::size_t k = 0; k < which.size() && k < kNamed; ++k) part += " " + inputs[which[k]].path;
  if (which.size() > kNamed) part += " and " + std::to_string(which.size() - kNamed) + " more";
  return part;
}

}  // namespace

int run_batch(const BatchRun& run, BatchWork& work) {
  Tally tally;
  const Progress progress(run.inputs.size());
#if defined(_WIN32)
  run_in_process(run, work, 0, 1, tally, progress);  // no fork: --jobs runs one process
#else
  const std::size_t jobs = std::min<std::size_t>(static_cast<std::size_t>(std::max(run.jobs, 1)), run.inputs.size());
  if (jobs > 1) run_in_workers(run, work, jobs, tally, progress);
  else run_in_process(run, work, 0, 1, tally, progress);
#endif
  progress.clear();
  const std::size_t converted = tally.count(BatchStatus::converted);
  std::string line = "trv: " + std::string(run.done) + " " + std::to_string(converted) + " of " +
                     std::to_string(run.inputs.size()) + " files (" + std::to_string(tally.bytes) + " bytes read)";
  for (const BatchStatus s :
       {BatchStatus::skipped, BatchStatus::damaged, BatchStatus::refused_for_loss, BatchStatus::failed})
    line += status_part(tally, run.inputs, s);
  write_line(stderr, line);
  return converted + tally.count(BatchStatus::skipped) == run.inputs.size() ? 0 : 1;
}

}  // namespace trv
