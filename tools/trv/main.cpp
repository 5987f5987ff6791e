// trv: the command-line host of the KtTrv plug-in.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <exception>

#include "tools/trv/batch_convert.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

#ifndef KTTRV_VERSION
#define KTTRV_VERSION "unknown"
#endif

namespace {

constexpr const char* kExitStatuses =
    "Exit statuses:\n"
    "  0  done; check: every file whole\n"
    "  1  a file could not be read, loaded or written; check: a file damaged or unreadable;\n"
    "     trace: the load failed\n"
    "  2  usage error (unknown command or option, missing argument, unknown picture type)\n"
    "\n"
    "A section that stopped early (a damaged or cut file) gives one warning line on stderr\n"
    "(\"trv: warning: FILE: ...\"); the command goes on with what was read.";

struct Verbosity {
  bool verbose = false;
  bool quiet = false;
};

// -v and -q are accepted before and after the command.
void add_verbosity(CLI::App& app, Verbosity& v) {
  app.add_flag("-v,--verbose", v.verbose, "Also print the plug-in's notes (values it replaced)");
  app.add_flag("-q,--quiet", v.quiet, "Print no warnings about sections that stopped early");
}

}  // namespace

int main(int argc, char** argv) {
  trv::use_binary_output();
  CLI::App app{"trv: read, inspect, draw and write TORV drawing files (.trv)"};
  app.require_subcommand(1);
  // Options begin with a dash on every platform: a path such as /tmp/x.trv
  // is a path, not a Windows-style option.
  app.allow_windows_style_options(false);
  app.footer(kExitStatuses);
  app.set_version_flag("--version", std::string("trv ") + KTTRV_VERSION);
  Verbosity verbosity;
  add_verbosity(app, verbosity);

  std::string path;
  std::vector<std::string> paths;
  int mode = -1;
  std::string sysvar_list;

  auto* info = app.add_subcommand("info", "Tell what each file holds: version, tables, drawables, "
                                          "entity records and their fate, what was read but not kept, "
                                          "extents, completeness");
  info->add_option("FILE", paths, "Drawing files")->required();
  bool as_json = false;
  bool directory = false;
  info->add_flag("--json", as_json, "One JSON object per file, one a line (docs/INFO.md)");
  info->add_flag("--directory", directory, "Show the header's section directory instead (no load)");

  auto* check = app.add_subcommand("check", "Load each file; exit 0 when all are whole, 1 when any is "
                                            "damaged or unreadable");
  check->add_option("FILE", paths, "Drawing files")->required();

  auto* dump = app.add_subcommand("dump", "Load a file and print the drawing as JSON (docs/DUMP.md)");
  dump->add_option("FILE", path, "Drawing file")->required();
  dump->add_option("--mode", mode, "Load mode (-1 also reads the system variables)");
  dump->add_option("--sysvar-list", sysvar_list, "System-variable list file to use");

  std::string out;
  kttrv::view::RenderOptions render_options;
  std::string background;
  auto* render = app.add_subcommand("render", "Draw the model space to an SVG, PNG or PDF picture "
                                              "(docs/RENDER.md)");
  render->add_option("FILE", path, "Drawing file")->required();
  render->add_option("-o,--output", out, "Picture to write; its extension (.svg, .png, .pdf) picks the format")
      ->required();
  render->add_option("--width", render_options.width, "Picture width in pixels (points for SVG and PDF)")
      ->check(CLI::Range(16, 16384))
      ->capture_default_str();
  render->add_option("--background", background, "#RRGGBB, white, black or none (transparent); default white");
  render->add_option("--layer", render_options.layers, "Draw only this layer (repeatable: --layer A --layer B)")
      ->allow_extra_args(false);

  auto* trace = app.add_subcommand("trace", "Print every kernel call a load makes, as JSON lines");
  trace->add_option("FILE", path, "Drawing file")->required();
  trace->add_option("--mode", mode, "Load mode (-1 also reads the system variables)");
  trace->add_option("--sysvar-list", sysvar_list, "System-variable list file to use");

  auto* make_new = app.add_subcommand("new", "Write an empty drawing as a HALD 2002 file");
  make_new->add_option("OUT", out, "File to write")->required();

  trv::SaveRequest save_request;
  auto* save = app.add_subcommand("save", "Load files and write them again as HALD 2002 files");
  save->add_option("FILES", save_request.files,
                   "IN OUT, or IN... with -o DIR; - is standard input (as OUT: standard output)")
      ->required();
  save->add_option("-o,--output-dir", save_request.out_dir,
                   "Write each IN to DIR/<name>.trv, with a progress line and a summary");
  save->add_option("-j,--jobs", save_request.jobs, "Convert in N worker processes (with -o)")
      ->check(CLI::PositiveNumber);
  save->add_option("--mode", save_request.mode, "Load mode (-1 also reads the system variables)");
  save->add_option("--sysvar-list", save_request.sysvar_list, "System-variable list file to use");
  save->add_flag("--allow-loss", save_request.allow_loss,
                 "Save even when the saved file would not give back everything IN holds (what is lost is named; "
                 "without it such a file is not written)");

#ifdef SIGXFSZ
  // Beyond a file-size limit a write fails and the save says so; the
  // signal would end trv before it could.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  for (CLI::App* sub : app.get_subcommands({})) {
    add_verbosity(*sub, verbosity);
    sub->footer(kExitStatuses);
  }

  try {
    app.parse(argc, argv);
    if (verbosity.verbose && verbosity.quiet) throw CLI::ValidationError("-v and -q", "choose one of them");
    if (!background.empty() && !kttrv::view::parse_background(background, render_options.background))
      throw CLI::ValidationError("--background", "expected #RRGGBB, white, black or none, got " + background);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }

  try {
    trv::set_verbosity(verbosity.quiet     ? trv::Verbosity::quiet
                             : verbosity.verbose ? trv::Verbosity::verbose
                                                 : trv::Verbosity::normal);
    if (*info) return trv::run_info(paths, as_json, directory);
    if (*check) return trv::run_check(paths);
    if (*dump) return trv::run_dump(path, mode, sysvar_list);
    if (*render) return trv::run_render(path, out, render_options);
    if (*trace) return trv::run_trace(path, mode, sysvar_list);
    if (*make_new) return trv::run_new(out);
    if (*save) return trv::run_save_request(save_request);
  } catch (const std::exception& e) {
    trv::error(e.what());
    return 1;
  }
  return 2;
}
