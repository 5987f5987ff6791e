// trv new / trv save: write a drawing as a "HALD 2002" file.
#include <cstdio>
#include <vector>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "format/loss_ledger.h"
#include "save/save_file.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

namespace trv {

namespace {

bool read_standard_input(std::vector<unsigned char>& bytes) {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);  // drawings are bytes, not text
#endif
  unsigned char chunk[1 << 16];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  return std::ferror(stdin) == 0;
}

std::string counted(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Writes the drawing; one line on stderr says what was kept, or why
// nothing was written.
int write_drawing_file(const KT_Drawing& drawing, const std::string& out, bool allow_loss, bool summary,
                       const LossLedger* dropped = nullptr) {
  SaveOptions options;
  options.allow_loss = allow_loss;
  options.file_losses = dropped;
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
  }
  if (!report.saved) {
    error(out + ": not saved: " + report.error + (report.lossless() ? "" : "; --allow-loss saves anyway"));
    return 1;
  }
  // -q silences the summary; what was lost is still said.
  if (!summary || (current_verbosity() == Verbosity::quiet && report.lossless())) return 0;
  std::string line = "saved " + out + ": " + counted(report.entities, "entity", "entities") + ", " +
                     counted(report.blocks, "block", "blocks") + ", " + counted(report.layers, "layer", "layers") +
                     ", " + counted(report.text_styles, "text style", "text styles") + ", " +
                     counted(report.dim_styles, "dimension style", "dimension styles");
  if (!report.lossless()) line += "; lost: " + report.loss_summary();
  // One write for the whole line: batch workers share stderr, and a line
  // written in two pieces can have another worker's line between them.
  std::fprintf(stderr, "%s\n", line.c_str());
  return 0;
}

}  // namespace

int run_new(const std::string& out) {
  KT_Drawing drawing;
  return write_drawing_file(drawing, out, false, false);
}

int run_save(const std::string& in, const std::string& out, int mode, const std::string& sysvar_list,
             bool allow_loss) {
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
      error("-: cannot read standard input");
      return 1;
    }
    result = load_drawing("-", kttrv::LoadSource::bytes(bytes), drawing, request);
  } else {
    result = load_drawing(in, drawing, request);
  }
  if (!result.loaded) return 1;
  return write_drawing_file(drawing, out, allow_loss, true, &result.losses);
}

}  // namespace trv
