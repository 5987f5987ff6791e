// trv info: what each file holds, as a block of text or one JSON object a
// line, or with --directory its header and section directory.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/info.h"
#include "tools/trv/loaded_file.h"

namespace trv {

namespace {

struct InfoOptions {
  std::vector<std::string> paths;
  bool as_json = false;
  bool directory = false;
  std::string encoding;
};

int run_info(const InfoOptions& o) {
  const auto encoding = open_encoding(o.encoding);
  int status = 0;
  bool first = true;
  for (const std::string& path : o.paths) {
    if (o.directory) {
      if (!first) std::printf("\n");
      if (info_directory(path) != 0) status = 1;
      first = false;
      continue;
    }
    const auto f = load_file(path, /*note_losses=*/true, Carry::counted);
    if (!f->loaded) {
      error(f->failure);
      status = 1;
    }
    const nlohmann::json summary = info_summary(*f, *encoding);
    if (o.as_json) {
      std::cout << summary.dump() << '\n';
    } else if (f->loaded) {
      if (!first) std::printf("\n");
      print_info_text(summary);
      first = false;
    }
    std::fflush(stdout);
  }
  return status;
}

}  // namespace

void setup_info(CLI::App& app, int& status) {
  auto o = std::make_shared<InfoOptions>();
  auto* sub = app.add_subcommand("info", "Tell what each file holds: version, tables, drawables, "
                                         "entity records and their fate, what was read but not kept, "
                                         "extents, completeness");
  sub->add_option("FILE", o->paths, "Drawing files (- : standard input)")->required();
  sub->add_flag("--json", o->as_json, "One JSON object per file, one a line (docs/INFO.md)");
  sub->add_flag("--directory", o->directory, "Show the header's section directory instead (no load)");
  add_encoding_option(*sub, o->encoding);
  sub->callback([o, &status] { status = run_info(*o); });
}

}  // namespace trv
