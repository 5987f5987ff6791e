// trv new / trv save: write a drawing as a "HALD 2002" file.
#include <cstdio>

#include "format/loss_ledger.h"
#include "load/load_document.h"
#include "save/save_file.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

namespace trv {

namespace {

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
  SaveReport report;
  if (!save_drawing_file(drawing, out.c_str(), options, report)) {
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
  if (!set_sysvar_list(sysvar_list)) return 1;
  KT_Drawing drawing;
  // What the load reads and does not keep is counted with what the writer
  // cannot store.
  LossLedger dropped;
  set_loss_ledger(&dropped);
  const bool loaded = load_drawing(in, mode, drawing);
  set_loss_ledger(nullptr);
  if (!loaded) return 1;
  return write_drawing_file(drawing, out, allow_loss, true, &dropped);
}

}  // namespace trv
