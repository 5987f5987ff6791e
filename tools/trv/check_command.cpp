// trv check: whether each file loads whole (what interrupted saves of it
// left beside it is removed first); with --strict, also what makes a file
// that loads whole doubtful (drawing_doubts.h).
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/zirida_host.h"
#include "save/save_file.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/drawing_doubts.h"
#include "tools/trv/loaded_file.h"

namespace trv {

namespace {

// Lines of one kind of doubt beyond this are counted, not listed.
constexpr long kDoubtLinesPerKind = 20;

struct CheckOptions {
  std::vector<std::string> paths;
  bool strict = false;
  std::string encoding;
};

// The doubt lines of a file; their count.
std::size_t print_doubts(const std::string& path, const std::vector<Doubt>& doubts) {
  std::map<DoubtKind, long> shown;
  for (const Doubt& d : doubts)
    if (++shown[d.kind] <= kDoubtLinesPerKind)
      std::printf("%s: doubtful: %s: %s\n", path.c_str(), d.place.c_str(), d.what.c_str());
  for (const auto& [kind, n] : shown)
    if (n > kDoubtLinesPerKind)
      std::printf("%s: doubtful: and %ld more of kind %s\n", path.c_str(), n - kDoubtLinesPerKind,
                  doubt_kind_name(kind));
  return doubts.size();
}

int run_check(const CheckOptions& o) {
  const auto encoding = open_encoding(o.encoding);
  int status = 0;
  for (const std::string& path : o.paths) {
    if (path != "-") note_leftovers(path, kttrv::remove_save_leftovers(path));
    // The verdict needs only the load; the doubts name places in the file.
    const auto f = load_file(path, /*note_losses=*/false, o.strict ? Carry::kept : Carry::none);
    if (!f->loaded) {
      std::printf("%s: unreadable: %s\n", path.c_str(), f->failure.c_str());
      status = 1;
      continue;
    }
    std::vector<Doubt> doubts;
    if (o.strict) doubts = find_doubts(*f->drawing, f->stats, zirida_carried(*f->drawing), *encoding);
    if (!f->complete()) {
      std::printf("%s: damaged: %zu section(s) stopped early", path.c_str(), f->damage.size());
      if (!f->damage.empty()) std::printf(" (first: %s)", f->damage.front().c_str());
      std::printf("\n");
      status = 1;
    } else if (!doubts.empty()) {
      std::printf("%s: doubtful: %zu doubt(s)\n", path.c_str(), doubts.size());
      status = 1;
    } else {
      std::printf("%s: whole\n", path.c_str());
    }
    print_doubts(path, doubts);
  }
  return status;
}

}  // namespace

void setup_check(CLI::App& app, int& status) {
  auto o = std::make_shared<CheckOptions>();
  auto* sub = app.add_subcommand("check", "Load each file; exit 0 when all are whole, 1 when any is "
                                          "damaged or unreadable (with --strict: or doubtful). Removes (and "
                                          "names) what interrupted saves of each file left beside it");
  sub->add_option("FILE", o->paths, "Drawing files (- : standard input)")->required();
  sub->add_flag("--strict", o->strict,
                "Also report what makes a whole file doubtful: records of unknown kinds, names with control or "
                "undecodable bytes, subnormal or absurd coordinates, references to layers, text styles or blocks "
                "that do not exist; each with its place");
  add_encoding_option(*sub, o->encoding);
  sub->callback([o, &status] { status = run_check(*o); });
}

}  // namespace trv
