// trv: the command-line host of the KtTrv plug-in. The commands add their own
// options (setup_* in commands.h); this sets up what they share and maps
// what happened to the exit status.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

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
    "     trace: the load failed; catalog: the catalogue could not be opened or written;\n"
    "     catalog search: nothing matched\n"
    "  2  usage error (unknown command or option, missing argument, unknown picture type,\n"
    "     a search query FTS5 refuses)\n"
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

// Whether all the command wrote to standard output reached it (a full disk,
// a closed descriptor); false after a one-line error.
bool output_written(bool say) {
  std::cout.flush();
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && !std::cout.fail();
  const int flush_error = errno;
  // Closing is where a file system that defers its errors reports them.
  const bool closed = std::fclose(stdout) == 0;
  if (flushed && closed) return true;
  if (!say) return false;
  const int why = !flushed ? flush_error : errno;
  trv::error(std::string("standard output: cannot be written") + (why != 0 ? ": " + std::string(std::strerror(why)) : ""));
  return false;
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

  int status = 2;  // set by the command that runs
  trv::setup_info(app, status);
  trv::setup_check(app, status);
  trv::setup_dump(app, status);
  trv::setup_render(app, status);
  trv::setup_trace(app, status);
  trv::setup_new(app, status);
  trv::setup_save(app, status);
  trv::setup_catalog(app, status);
  for (CLI::App* sub : app.get_subcommands({})) {
    add_verbosity(*sub, verbosity);
    sub->footer(kExitStatuses);
  }
  // Runs once the whole command line is parsed, before the command does.
  app.parse_complete_callback([&verbosity] {
    if (verbosity.verbose && verbosity.quiet) throw CLI::ValidationError("-v and -q", "choose one of them");
    trv::set_verbosity(verbosity.quiet     ? trv::Verbosity::quiet
                       : verbosity.verbose ? trv::Verbosity::verbose
                                           : trv::Verbosity::normal);
  });

#ifdef SIGXFSZ
  // Beyond a file-size limit a write fails and the save says so; the
  // signal would end trv before it could.
  std::signal(SIGXFSZ, SIG_IGN);
#endif

  // The command runs inside parse, from its callback: a usage error it finds
  // is a ParseError like those of the command line.
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int exit_status = app.exit(e);  // --help and --version end here too
    if (!output_written(true)) return 1;
    return exit_status == 0 ? 0 : 2;
  } catch (const std::exception& e) {
    trv::error(e.what());
    return 1;
  }
  // A command that failed has said why; a failed output still fails it.
  if (!output_written(status == 0)) return 1;
  return status;
}
