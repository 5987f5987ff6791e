#include "tools/trv/batch_render.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "tools/trv/batch_inputs.h"
#include "tools/trv/batch_run.h"
#include "tools/trv/cli_support.h"

namespace trv {

namespace fs = std::filesystem;

namespace {

// Each picture through run_render, which draws it beside its name and
// renames it once whole, and names the input when it cannot.
class RenderWork : public BatchWork {
 public:
  RenderWork(const RenderBatchRequest& request, const std::vector<BatchInput>& inputs)
      : request_(request), inputs_(inputs) {}

  std::optional<BatchOutcome> convert(std::size_t i) override {
    const BatchInput& input = inputs_[i];
    BatchOutcome o;
    if (!input.refusal.empty()) {
      error(input.path + ": not rendered: " + input.refusal);
      o.reason = input.refusal;
      return o;
    }
    std::error_code ec;
    if (input.path != "-") {
      const auto size = fs::file_size(input.path, ec);
      o.bytes = ec ? 0 : size;
    }
    fs::create_directories(fs::path(input.output).parent_path(), ec);
    RenderRequest picture = request_.picture;
    picture.path = input.path;
    picture.out = input.output;
    if (run_render(picture) != 0) return o;  // it said why
    o.status = BatchStatus::converted;
    if (current_verbosity() != Verbosity::quiet) write_line(stderr, "rendered " + input.path + " as " + input.output);
    return o;
  }

 private:
  const RenderBatchRequest& request_;
  const std::vector<BatchInput>& inputs_;
};

}  // namespace

bool is_render_batch(const std::vector<std::string>& files, const std::string& out, const std::string& from) {
  std::error_code ec;
  if (files.size() != 1 || !from.empty() || (out != "-" && fs::is_directory(out, ec))) return true;
  return files[0] != "-" && fs::is_directory(files[0], ec);
}

int run_render_batch(const RenderBatchRequest& request) {
  if (request.out_dir == "-") {
    error("render: many pictures cannot go to standard output: give -o DIR");
    return 2;
  }
  if (request.picture.format.empty()) {
    error("render: give --format svg, png or pdf for a folder of pictures");
    return 2;
  }
  if (request.files.empty() && request.from.empty()) {
    error("render: no inputs (give IN... or --from FILE)");
    return 2;
  }
  if (request.from == "-" && std::find(request.files.begin(), request.files.end(), "-") != request.files.end()) {
    error("render: standard input cannot be both the list (--from -) and a drawing (-)");
    return 2;
  }
#if !defined(KTTRV_RENDERS)
  return run_render(request.picture);  // which says this trv draws no pictures
#else
  BatchSources sources;
  sources.args = request.files;
  sources.recursive = true;
  sources.from = request.from;
  sources.nul_separated = request.nul_separated;
  sources.out_dir = request.out_dir;
  sources.extension = "." + request.picture.format;
  sources.offers_in_place = false;
  std::vector<BatchInput> inputs;
  std::string problem;
  if (!gather_batch_inputs_into_folder(sources, inputs, problem)) {
    error(problem);
    return 1;
  }
  RenderWork work(request, inputs);
  return run_batch(BatchRun{inputs, request.jobs, "rendered"}, work);
#endif
}

}  // namespace trv
