// trv: the command-line host of the KtTrv plug-in.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

int main(int argc, char** argv) {
  trv::use_binary_output();
  CLI::App app{"trv: read, inspect and write TORV drawing files (.trv)"};
  app.require_subcommand(1);
  // Options begin with a dash on every platform: a path such as /tmp/x.trv
  // is a path, not a Windows-style option.
  app.allow_windows_style_options(false);
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

  auto* save = app.add_subcommand("save", "Load a file and write it again as a HALD 2002 file");
  save->add_option("IN", path, "Drawing file to load")->required();
  save->add_option("OUT", out, "File to write")->required();
  save->add_option("--mode", mode, "Load mode (-1 also reads the system variables)");
  save->add_option("--sysvar-list", sysvar_list, "System-variable list file to use");

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
    if (*save) return trv::run_save(path, out, mode, sysvar_list);
  } catch (const std::exception& e) {
    trv::error(e.what());
    return 1;
  }
  return 2;
}
