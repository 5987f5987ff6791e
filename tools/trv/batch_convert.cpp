#include "tools/trv/batch_convert.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include "host/zirida_host.h"
#include "save/save_file.h"
#include "tools/trv/batch_inputs.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/save_command.h"

namespace trv {

namespace fs = std::filesystem;

namespace {

std::uintmax_t size_of(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : size;
}

enum class Status { converted, skipped, damaged, refused_for_loss, failed };
constexpr int kStatuses = 5;
const char* status_name(Status s) {
  switch (s) {
    case Status::converted: return "converted";
    case Status::skipped: return "skipped";
    case Status::damaged: return "damaged";
    case Status::refused_for_loss: return "refused for loss";
    case Status::failed: return "failed";
  }
  return "failed";
}

struct Outcome {
  Status status = Status::failed;
  std::string reason;
  std::string losses;  // what the saved file does not hold (or would not have held)
  std::vector<std::string> damage;
  std::uintmax_t bytes = 0;  // of the input, read before it was converted
};

// One JSON line per input, appended in one write by whichever process
// converted it.
class ReportFile {
 public:
  bool open(const std::string& path, std::string& problem) {
    if (path.empty()) return true;
#if defined(_WIN32)
    file_ = std::fopen(path.c_str(), "wb");
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    file_ = fd >= 0 ? fdopen(fd, "a") : nullptr;
    if (file_ == nullptr && fd >= 0) ::close(fd);
#endif
    if (file_ == nullptr) problem = path + ": " + std::strerror(errno);
    return file_ != nullptr;
  }
  ~ReportFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool write(const BatchInput& input, const Outcome& o) {
    if (file_ == nullptr) return true;
    nlohmann::json line = {{"path", input.path},        {"output", input.output}, {"status", status_name(o.status)},
                           {"reason", o.reason},         {"losses", o.losses},     {"damage", o.damage},
                           {"bytes", o.bytes}};
    return write_line(file_, line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }

 private:
  std::FILE* file_ = nullptr;
};

// Whether a file already at the output is a drawing that loads whole.
bool loads_whole(const std::string& path) {
  KT_Drawing drawing;
  kttrv::LoadOptions options;
  options.count_records = true;  // records never reached make it incomplete
  return kttrv::load_drawing(kttrv::LoadSource::file(path), drawing, options).complete();
}

bool is_same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

Outcome fail(const BatchInput& input, std::string reason) {
  error(input.path + ": not converted: " + reason);
  Outcome o;
  o.reason = std::move(reason);
  return o;
}

Outcome convert_file(const BatchInput& input, const SaveRequest& request, const SysVarList* list) {
  if (!input.refusal.empty()) return fail(input, input.refusal);
  Outcome o;
  o.bytes = input.path == "-" ? 0 : size_of(input.path);
  std::error_code ec;
  const bool onto_input = request.in_place && input.path != "-" && is_same_file(input.output, input.path);
  if (!onto_input && fs::exists(input.output, ec)) {
    if (request.skip_existing && loads_whole(input.output)) {
      o.status = Status::skipped;
      o.reason = "its output exists and loads whole";
      o.bytes = 0;  // not read
      return o;
    }
    if (!request.overwrite && !request.skip_existing) {
      return fail(input, input.output + " exists (--overwrite replaces it, --skip-existing keeps it)");
    }
  }

  KT_Drawing drawing;
  LoadRequest load;
  load.mode = request.mode;
  load.sysvar_list = list;
  load.note_losses = true;
  load.count_records = true;
  kttrv::LoadResult result;
  if (input.path == "-") {
    std::vector<unsigned char> bytes;
    if (!read_standard_input(bytes)) return fail(input, "cannot read standard input");
    o.bytes = bytes.size();
    result = load_drawing("-", kttrv::LoadSource::bytes(bytes), drawing, load);
  } else {
    result = load_drawing(input.path, drawing, load);  // says why when it does not load
  }
  if (!result.loaded) {
    o.reason = result.failure;
    return o;
  }
  o.damage = damage_lines(result);
  if (!result.complete() && !request.allow_damage) {
    error(input.path + ": not converted: its load was not complete (--allow-damage converts what loaded)");
    o.status = Status::damaged;
    o.reason = "the load was not complete";
    return o;
  }

  fs::create_directories(fs::path(input.output).parent_path(), ec);
  SaveOptions options;
  options.allow_loss = request.allow_loss;
  options.file_losses = &result.losses;
  options.carried = zirida_carried(drawing);
  options.remove_leftovers = false;  // the run removed them when it began
  const kttrv::SaveResult saved = kttrv::save_drawing(drawing, input.output, options);
  if (!saved.lossless()) o.losses = saved.loss_summary();
  if (!saved.saved) {
    const bool for_loss = !saved.lossless() && !request.allow_loss;
    error(input.path + ": not saved as " + input.output + ": " + saved.error + (for_loss ? "; --allow-loss saves anyway" : ""));
    o.status = for_loss ? Status::refused_for_loss : Status::failed;
    o.reason = saved.error;
    return o;
  }
  o.status = Status::converted;
  if (current_verbosity() != Verbosity::quiet || !saved.lossless())
    write_line(stderr, "saved " + input.path + " as " + input.output + ": " + save_counts(saved) +
                           (saved.lossless() ? "" : "; lost: " + o.losses));
  return o;
}

// The progress line, drawn only when standard error is a terminal.
class Progress {
 public:
  explicit Progress(std::size_t total) : total_(total), shown_(stderr_is_terminal()) {}
  void show(std::size_t done, std::uintmax_t bytes, const std::string& current) const {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %ju bytes  %s", done, total_, bytes, current.c_str());
    std::fflush(stderr);
  }
  void clear() const {
    if (shown_) std::fputs("\r\033[K", stderr);
  }

 private:
  std::size_t total_;
  bool shown_;
};

struct Tally {
  std::size_t done = 0;
  std::uintmax_t bytes = 0;
  std::vector<std::size_t> by_status[kStatuses];  // indexes into the inputs

  void record(std::size_t index, Status status, std::uintmax_t read) {
    ++done;
    bytes += read;
    by_status[static_cast<int>(status)].push_back(index);
  }
  std::size_t count(Status s) const { return by_status[static_cast<int>(s)].size(); }
};

struct Batch {
  const SaveRequest& request;
  const std::vector<BatchInput>& inputs;
  const SysVarList* list;
  ReportFile& report;

  Outcome convert(std::size_t i) const {
    Outcome o = convert_file(inputs[i], request, list);
    if (!report.write(inputs[i], o)) error(request.report + ": cannot be written");
    return o;
  }
};

void run_in_process(const Batch& batch, std::size_t first, std::size_t step, Tally& tally, const Progress& progress) {
  for (std::size_t i = first; i < batch.inputs.size(); i += step) {
    const Outcome o = batch.convert(i);
    tally.record(i, o.status, o.bytes);
    progress.show(tally.done, tally.bytes, batch.inputs[i].path);
  }
}

#if !defined(_WIN32)
// Inputs i with i % jobs == worker, one after another; each result goes to
// `results` as "<index> <status> <bytes>\n", one write each (well below
// the size a pipe takes whole).
void convert_share(const Batch& batch, std::size_t worker, std::size_t jobs, int results) {
  for (std::size_t i = worker; i < batch.inputs.size(); i += jobs) {
    const Outcome o = batch.convert(i);
    const std::string line =
        std::to_string(i) + " " + std::to_string(static_cast<int>(o.status)) + " " + std::to_string(o.bytes) + "\n";
    if (write(results, line.data(), line.size()) < 0) return;
  }
}

// Worker processes report through one pipe. A share whose worker could not
// be started is converted here; a worker that dies leaves its unreported
// inputs counted as failed.
void run_in_workers(const Batch& batch, std::size_t jobs, Tally& tally, const Progress& progress) {
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
      convert_share(batch, w, jobs, fds[1]);
      std::fflush(nullptr);
      _exit(0);
    }
    workers.push_back(pid);
  }
  close(fds[1]);
  if (workers.empty()) close(fds[0]);
  for (const std::size_t w : unstarted) run_in_process(batch, w, jobs, tally, progress);
  std::vector<bool> reported(batch.inputs.size(), false);
  for (std::size_t w : unstarted)
    for (std::size_t i = w; i < reported.size(); i += jobs) reported[i] = true;
  std::FILE* results = workers.empty() ? nullptr : fdopen(fds[0], "r");
  std::size_t index = 0;
  int status = 0;
  std::uintmax_t bytes = 0;
  while (results != nullptr && std::fscanf(results, "%zu %d %ju", &index, &status, &bytes) == 3) {
    if (index >= reported.size() || reported[index] || status < 0 || status >= kStatuses) continue;
    reported[index] = true;
    tally.record(index, static_cast<Status>(status), bytes);
    progress.show(tally.done, tally.bytes, batch.inputs[index].path);
  }
  if (results != nullptr) std::fclose(results);
  for (const pid_t pid : workers) waitpid(pid, nullptr, 0);
  for (std::size_t i = 0; i < reported.size(); ++i) {
    if (reported[i]) continue;
    error(batch.inputs[i].path + ": not converted (its worker stopped)");
    tally.record(i, Status::failed, 0);
  }
}
#endif

// "; 2 failed: a b": the inputs of one status, the first few by name.
std::string status_part(const Tally& tally, const std::vector<BatchInput>& inputs, Status s) {
  std::vector<std::size_t> which = tally.by_status[static_cast<int>(s)];
  if (which.empty()) return "";
  std::sort(which.begin(), which.end());  // workers finish in any order
  std::string part = "; " + std::to_string(which.size()) + " " + status_name(s);
  if (s == Status::skipped) return part;
  constexpr std::size_t kNamed = 20;
  part += ":";
  for (std::size_t k = 0; k < which.size() && k < kNamed; ++k) part += " " + inputs[which[k]].path;
  if (which.size() > kNamed) part += " and " + std::to_string(which.size() - kNamed) + " more";
  return part;
}

}  // namespace

int run_save_request(const SaveRequest& request) {
  if (request.out_dir.empty()) {
    if (request.files.size() != 2 || request.recursive || !request.from.empty()) {
      error("save: give IN OUT, or IN... -o DIR (-r and --from need -o DIR)");
      return 2;
    }
    return run_save(request.files[0], request.files[1], request.mode, request.sysvar_list, request.allow_loss);
  }
  if (request.files.empty() && request.from.empty()) {
    error("save: no inputs (give IN..., -r FOLDER... or --from FILE)");
    return 2;
  }
  if (request.overwrite && request.skip_existing) {
    error("save: --overwrite and --skip-existing exclude each other");
    return 2;
  }
  if (request.from == "-" && std::find(request.files.begin(), request.files.end(), "-") != request.files.end()) {
    error("save: standard input cannot be both the list (--from -) and a drawing (-)");
    return 2;
  }
  std::optional<SysVarList> list;
  if (!read_sysvar_option(request.sysvar_list, list)) return 1;

  BatchSources sources;
  sources.args = request.files;
  sources.recursive = request.recursive;
  sources.from = request.from;
  sources.nul_separated = request.nul_separated;
  sources.out_dir = request.out_dir;
  sources.in_place = request.in_place;
  std::vector<BatchInput> inputs;
  std::string problem;
  if (!gather_batch_inputs(sources, inputs, problem)) {
    error(problem);
    return 1;
  }
  std::error_code ec;
  fs::create_directories(request.out_dir, ec);
  if (ec) {
    error(request.out_dir + ": " + ec.message());
    return 1;
  }
  // What interrupted runs left in the output folders, before any worker
  // starts; the saves then do not read the folders again.
  std::set<std::string> folders = {request.out_dir};
  for (const BatchInput& input : inputs)
    if (input.refusal.empty()) folders.insert(fs::path(input.output).parent_path().string());
  for (const std::string& folder : folders)
    if (fs::is_directory(folder, ec)) note_leftovers(folder, kttrv::remove_save_leftovers_in(folder));
  ReportFile report;
  if (!report.open(request.report, problem)) {
    error(problem);
    return 1;
  }
  const Batch batch{request, inputs, list ? &*list : nullptr, report};
  Tally tally;
  const Progress progress(inputs.size());
#if defined(_WIN32)
  run_in_process(batch, 0, 1, tally, progress);  // no fork: --jobs runs one process
#else
  const std::size_t jobs = std::min<std::size_t>(static_cast<std::size_t>(std::max(request.jobs, 1)), inputs.size());
  if (jobs > 1) run_in_workers(batch, jobs, tally, progress);
  else run_in_process(batch, 0, 1, tally, progress);
#endif
  progress.clear();
  const std::size_t converted = tally.count(Status::converted);
  std::string line = "trv: converted " + std::to_string(converted) + " of " + std::to_string(inputs.size()) +
                     " files (" + std::to_string(tally.bytes) + " bytes read)";
  for (const Status s : {Status::skipped, Status::damaged, Status::refused_for_loss, Status::failed})
    line += status_part(tally, inputs, s);
  write_line(stderr, line);
  return converted + tally.count(Status::skipped) == inputs.size() ? 0 : 1;
}

}  // namespace trv
