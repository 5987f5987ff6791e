// trv catalog in a build without SQLite (the Windows build): it says so.
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

namespace trv {

void setup_catalog(CLI::App& app, int& status) {
  auto* sub = app.add_subcommand("catalog", "Keep a searchable catalogue of drawing files (not in this "
                                            "build: it was built without SQLite)");
  sub->allow_extras();
  sub->callback([&status] {
    error("catalog: this trv was built without SQLite");
    status = 1;
  });
}

}  // namespace trv
