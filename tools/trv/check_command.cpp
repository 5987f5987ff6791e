// trv check: whether each file loads whole; what interrupted saves of it
// left beside it is removed first.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "save/save_file.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/loaded_file.h"

namespace trv {

namespace {

int run_check(const std::vector<std::string>& paths) {
  int status = 0;
  for (const std::string& path : paths) {
    if (path != "-") note_leftovers(path, kttrv::remove_save_leftovers(path));
    const auto f = load_file(path, /*note_losses=*/false, /*carry=*/false);  // the verdict needs only the load
    if (!f->loaded) {
      std::printf("%s: unreadable: %s\n", path.c_str(), f->failure.c_str());
      status = 1;
    } else if (!f->complete()) {
      std::printf("%s: damaged: %zu section(s) stopped early", path.c_str(), f->damage.size());
      if (!f->damage.empty()) std::printf(" (first: %s)", f->damage.front().c_str());
      std::printf("\n");
      status = 1;
    } else {
      std::printf("%s: whole\n", path.c_str());
    }
  }
  return status;
}

}  // namespace

void setup_check(CLI::App& app, int& status) {
  auto paths = std::make_shared<std::vector<std::string>>();
  auto* sub = app.add_subcommand("check", "Load each file; exit 0 when all are whole, 1 when any is "
                                          "damaged or unreadable. Removes (and names) what interrupted "
                                          "saves of each file left beside it");
  sub->add_option("FILE", *paths, "Drawing files")->required();
  sub->callback([paths, &status] { status = run_check(*paths); });
}

}  // namespace trv
