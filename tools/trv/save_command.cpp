// trv save: load a drawing and write it again as a "HALD 2002" file; the
// writing trv new shares.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "format/loss_ledger.h"
#include "save/save_file.h"
#include "tools/trv/batch_convert.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/save_command.h"

#include "host/zirida_host.h"

namespace trv {

bool read_standard_input(std::vector<unsigned char>& bytes) {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);  // drawings are bytes, not text
#endif
  unsigned char chunk[1 << 16];
  std::size_t n;
  errno = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  if (std::ferror(stdin) == 0) return true;
  if (errno == 0) errno = EIO;
  return false;
}

namespace {

std::string counted(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string save_counts(const kttrv::SaveResult& report) {
  return counted(report.entities, "entity", "entities") + ", " + counted(report.blocks, "block", "blocks") + ", " +
         counted(report.layers, "layer", "layers") + ", " +
         counted(report.text_styles, "text style", "text styles") + ", " +
         counted(report.dim_styles, "dimension style", "dimension styles");
}

int write_drawing_file(const KT_Drawing& drawing, const std::string& out, bool allow_loss, bool summary,
                       const LossLedger* dropped, bool clean) {
  SaveOptions options;
  options.remove_leftovers = clean;
  options.allow_loss = allow_loss;
  options.file_losses = dropped;
  options.carried = zirida_carried(drawing);
  kttrv::SaveResult report;
  if (out == "-") {
    // Made in memory and written in one go: no temporary file.
    std::vector<unsigned char> bytes;
    report = kttrv::save_drawing(drawing, bytes, options);
    if (report.saved && (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)) {
      error("-: cannot write standard output");
      return 1;
    }
  } else {
    report = kttrv::save_drawing(drawing, out, options);
    note_leftovers(out, static_cast<std::size_t>(report.leftovers_removed));
  }
  if (!report.saved) {
    error(out + ": not saved: " + report.error + (report.lossless() ? "" : "; --allow-loss saves anyway"));
    return 1;
  }
  if (report.other_links > 0)
    warn(out, report.other_links == 1 ? "its other hard link keeps the old content"
                                      : "its " + std::to_string(report.other_links) +
                                            " other hard links keep the old content");
  // -q silences the summary; what was lost is still said.
  if (!summary || (current_verbosity() == Verbosity::quiet && report.lossless())) return 0;
  std::string line = "saved " + out + ": " + save_counts(report);
  if (!report.lossless()) line += "; lost: " + report.loss_summary();
  write_line(stderr, line);
  return 0;
}

int run_save(const std::string& in, const std::string& out, int mode, const std::string& sysvar_list,
             bool allow_loss, bool clean) {
  std::optional<SysVarList> list;
  if (!read_sysvar_option(sysvar_list, list)) return 1;
  KT_Drawing drawing;
  // What the load reads and does not keep is counted with what the writer
  // cannot store.
  LoadRequest request;
  request.mode = mode;
  request.sysvar_list = list ? &*list : nullptr;
  request.note_losses = true;
  kttrv::LoadResult result;
  if (in == "-") {
    std::vector<unsigned char> bytes;
    if (!read_standard_input(bytes)) {
      error("-: cannot read standard input (" + std::string(std::strerror(errno)) + ")");
      return 1;
    }
    result = load_drawing("-", kttrv::LoadSource::bytes(bytes), drawing, request);
  } else {
    result = load_drawing(in, drawing, request);
  }
  if (!result.loaded) return 1;
  return write_drawing_file(drawing, out, allow_loss, true, &result.losses, clean);
}

void setup_save(CLI::App& app, int& status) {
  auto request = std::make_shared<SaveRequest>();
  auto* sub = app.add_subcommand("save", "Load files and write them again as HALD 2002 files");
  sub->add_option("FILES", request->files,
                  "IN OUT, or IN... with -o DIR; - is standard input (as OUT: standard output)");
  sub->add_option("-o,--output-dir", request->out_dir,
                  "Write each IN to DIR/<name>.trv, with a progress line and a summary");
  sub->add_option("-j,--jobs", request->jobs, "Convert in N worker processes (with -o; at most 256)")
      ->check(CLI::Range(1, 256));
  sub->add_flag("-r,--recursive", request->recursive,
                "Walk folders among the inputs for .trv files; outputs keep the inputs' folders under DIR");
  sub->add_option("--from", request->from,
                  "Also convert the paths listed in FILE (- : standard input), one a line; outputs keep their "
                  "folders under DIR");
  sub->add_flag("-0,--null", request->nul_separated, "The --from list's paths end in NUL (find -print0)");
  sub->add_flag("--overwrite", request->overwrite, "Replace outputs that exist (without it they are kept)");
  sub->add_flag("--skip-existing", request->skip_existing,
                "Skip inputs whose output exists and loads whole (resumes a run)");
  sub->add_flag("--in-place", request->in_place, "Allow an output to be its own input, replaced atomically");
  sub->add_flag("--allow-damage", request->allow_damage,
                "Convert what loaded of an input whose load was not complete (without it it is not converted)");
  sub->add_option("--report", request->report,
                  "Write one JSON line per input to FILE: path, output, status, reason, losses, damage");
  add_load_options(*sub, request->mode, request->sysvar_list);
  sub->add_flag("--allow-loss", request->allow_loss,
                "Save even when the saved file would not give back everything IN holds (what is lost is named; "
                "without it such a file is not written)");
  sub->callback([request, &status] { status = run_save_request(*request); });
}

}  // namespace trv
