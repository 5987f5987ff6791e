// trv catalog: build, search, stats and merge (docs/CATALOG.md).
#include <memory>
#include <string>
#include <vector>

#include "tools/trv/catalog.h"
#include "tools/trv/catalog_db.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

namespace trv {

namespace {

// A catalogue that cannot be opened or written is one error line.
template <class Run>
int guarded(Run run) {
  try {
    return run();
  } catch (const catalog::CatalogError& e) {
    error(e.what());
    return 1;
  }
}

}  // namespace

void setup_catalog(CLI::App& app, int& status) {
  auto* sub = app.add_subcommand("catalog", "Keep a searchable catalogue of drawing files in SQLite "
                                            "(docs/CATALOG.md)");
  sub->require_subcommand(1);

  auto build = std::make_shared<catalog::BuildOptions>();
  auto* b = sub->add_subcommand("build", "Catalogue the drawings of the paths (folders: every .trv file in "
                                         "them, at any depth): new and changed files are read, files gone "
                                         "from the paths are removed, unchanged ones are left as they are");
  b->add_option("ARCHIVE", build->archive, "The catalogue (an SQLite database; made when missing)")->required();
  b->add_option("PATH", build->paths, "Drawing files and folders")->required();
  b->add_option("-j,--jobs", build->jobs, "Read files in N worker processes")->check(CLI::Range(1, 256));
  b->add_option("--batch", build->batch, "Files each transaction commits at most (it commits at least "
                                         "once a second)")
      ->check(CLI::Range(1, 1'000'000));
  b->callback([build, &status] { status = guarded([&] { return catalog::run_build(*build); }); });

  auto search = std::make_shared<catalog::SearchOptions>();
  auto* s = sub->add_subcommand("search", "Find texts, attribute values and layer, block and text style "
                                          "names: one hit a line (file, layer, kind, text, position); "
                                          "exit 1 when nothing matched");
  s->add_option("ARCHIVE", search->archive, "The catalogue")->required();
  s->add_option("QUERY", search->query, "An FTS5 query: words, prefix*, \"a phrase\", AND, OR, NOT, NEAR()")
      ->required();
  s->add_flag("--json", search->json, "One JSON object a line");
  s->add_option("--limit", search->limit, "At most N hits (0: all)")->check(CLI::NonNegativeNumber);
  s->callback([search, &status] { status = guarded([&] { return catalog::run_search(*search); }); });

  auto stats_archive = std::make_shared<std::string>();
  auto stats_top = std::make_shared<long>(10);
  auto stats_json = std::make_shared<bool>(false);
  auto* st = sub->add_subcommand("stats", "Counts over the catalogue: files by version, damaged files, "
                                          "most inserted blocks and most used layers");
  st->add_option("ARCHIVE", *stats_archive, "The catalogue")->required();
  st->add_option("--top", *stats_top, "N of each list (0: all)")->check(CLI::NonNegativeNumber);
  st->add_flag("--json", *stats_json, "As one JSON object");
  st->callback([=, &status] {
    status = guarded([&] { return catalog::run_stats(*stats_archive, *stats_top, *stats_json); });
  });

  auto merge_out = std::make_shared<std::string>();
  auto merge_parts = std::make_shared<std::vector<std::string>>();
  auto* m = sub->add_subcommand("merge", "Join catalogues (built on several machines, say) into OUT; a "
                                         "part's file replaces OUT's of the same path");
  m->add_option("OUT", *merge_out, "The catalogue to write (made when missing)")->required();
  m->add_option("PART", *merge_parts, "Catalogues to join")->required();
  m->callback([=, &status] { status = guarded([&] { return catalog::run_merge(*merge_out, *merge_parts); }); });
}

}  // namespace trv
