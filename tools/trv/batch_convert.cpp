#include "tools/trv/batch_convert.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#include "host/zirida_host.h"
#include "save/commit_group.h"
#include "save/save_file.h"
#include "tools/trv/batch_inputs.h"
#include "tools/trv/batch_run.h"
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

using Status = BatchStatus;
using Outcome = BatchOutcome;

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
    nlohmann::json line = {{"path", input.path},        {"output", input.output}, {"status", batch_status_name(o.status)},
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

// The outcome, or none when the saved file waits in group: then saved_line
// is what to say once it is committed.
std::optional<Outcome> convert_file(const BatchInput& input, std::size_t tag, const SaveRequest& request,
                                    const SysVarList* list, kttrv::CommitGroup& group, Outcome& waiting,
                                    std::string& saved_line) {
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
  options.group = &group;
  options.group_tag = tag;
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
  std::string line;
  if (current_verbosity() != Verbosity::quiet || !saved.lossless())
    line = "saved " + input.path + " as " + input.output + ": " + save_counts(saved) +
           (saved.lossless() ? "" : "; lost: " + o.losses);
  if (saved.waiting) {
    waiting = std::move(o);
    saved_line = std::move(line);
    return std::nullopt;
  }
  if (!line.empty()) write_line(stderr, line);
  return o;
}

// Each worker's saves wait in its group and are made durable together
// (save/commit_group.h): their outcomes, report lines and "saved" lines
// come once committed.
class SaveWork : public BatchWork {
 public:
  SaveWork(const SaveRequest& request, const std::vector<BatchInput>& inputs, const SysVarList* list,
           ReportFile& report)
      : request_(request), inputs_(inputs), list_(list), report_(report) {}

  std::optional<Outcome> convert(std::size_t i) override {
    Waiting w;
    std::optional<Outcome> o = convert_file(inputs_[i], i, request_, list_, group_, w.outcome, w.saved_line);
    if (!o) {
      waiting_.emplace(i, std::move(w));
      return std::nullopt;
    }
    write_report(i, *o);
    return o;
  }

  std::vector<std::pair<std::size_t, Outcome>> settle(bool all) override {
    std::vector<std::pair<std::size_t, Outcome>> settled;
    if (group_.waiting() == 0 || (!all && !group_.due())) return settled;
    // Due: the older half, while the disk goes on with the newer.
    for (const kttrv::CommitGroup::Committed& c :
         all ? group_.commit() : group_.commit_oldest((group_.waiting() + 1) / 2)) {
      auto it = waiting_.find(c.tag);
      if (it == waiting_.end()) continue;
      Outcome o = std::move(it->second.outcome);
      const BatchInput& input = inputs_[c.tag];
      if (c.saved) {
        if (!it->second.saved_line.empty()) write_line(stderr, it->second.saved_line);
      } else {
        error(input.path + ": not saved as " + input.output + ": " + c.error);
        o.status = Status::failed;
        o.reason = c.error;
      }
      waiting_.erase(it);
      write_report(c.tag, o);
      settled.emplace_back(c.tag, std::move(o));
    }
    return settled;
  }

 private:
  struct Waiting {
    Outcome outcome;
    std::string saved_line;
  };

  void write_report(std::size_t i, const Outcome& o) {
    if (!report_.write(inputs_[i], o)) error(request_.report + ": cannot be written");
  }

  const SaveRequest& request_;
  const std::vector<BatchInput>& inputs_;
  const SysVarList* list_;
  ReportFile& report_;
  kttrv::CommitGroup group_;
  std::map<std::size_t, Waiting> waiting_;
};

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
  if (!gather_batch_inputs_into_folder(sources, inputs, problem)) {
    error(problem);
    return 1;
  }
  // What interrupted runs left in the output folders, before any worker
  // starts; the saves then do not read the folders again.
  std::set<std::string> folders = {request.out_dir};
  for (const BatchInput& input : inputs)
    if (input.refusal.empty()) folders.insert(fs::path(input.output).parent_path().string());
  std::error_code ec;
  for (const std::string& folder : folders)
    if (fs::is_directory(folder, ec)) note_leftovers(folder, kttrv::remove_save_leftovers_in(folder));
  ReportFile report;
  if (!report.open(request.report, problem)) {
    error(problem);
    return 1;
  }
  SaveWork work(request, inputs, list ? &*list : nullptr, report);
  return run_batch(BatchRun{inputs, request.jobs, "converted"}, work);
}

}  // namespace trv
