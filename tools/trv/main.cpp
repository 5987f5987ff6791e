// trv: the command-line host of the KtTrv plug-in.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "tools/trv/batch_convert.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"trv: read, inspect and write TORV drawing files (.trv)"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("trv ") + KTTRV_VERSION);
  bool verbose = false;
  app.add_flag("-v,--verbose", verbose, "Print why a section stopped early, with its byte offset");

  std::string path;
  int mode = -1;
  std::string sysvar_list;

  auto* trace = app.add_subcommand("trace", "Print every kernel call a load makes, as JSON lines");
  trace->add_option("FILE", path, "Drawing file")->required();
  trace->add_option("--mode", mode, "Load mode (-1 also reads the system variables)");
  trace->add_option("--sysvar-list", sysvar_list, "System-variable list file to use");

  auto* info = app.add_subcommand("info", "Show a file's version, generation and directory");
  info->add_option("FILE", path, "Drawing file")->required();

  auto* dump = app.add_subcommand("dump", "Load a file and print the drawing as JSON");
  dump->add_option("FILE", path, "Drawing file")->required();
  dump->add_option("--mode", mode, "Load mode (-1 also reads the system variables)");
  dump->add_option("--sysvar-list", sysvar_list, "System-variable list file to use");

  std::string out;
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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }

  try {
    trv::install_diagnostics(verbose);
    if (*trace) return trv::run_trace(path, mode, sysvar_list);
    if (*info) return trv::run_info(path);
    if (*dump) return trv::run_dump(path, mode, sysvar_list);
    if (*make_new) return trv::run_new(out);
    if (*save) return trv::run_save_request(save_request);
  } catch (const std::exception& e) {
    trv::error(e.what());
    return 1;
  }
  return 2;
}
