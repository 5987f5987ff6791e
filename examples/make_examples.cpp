// Writes the example drawings of examples/: the floor plan in the newest
// generation and in each older one, and a legacy "Torv 1.5" file.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/floor_plan.h"

namespace fs = std::filesystem;

namespace {

bool write(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::fprintf(stderr, "make_examples: cannot write %s\n", path.string().c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_examples EXAMPLES_DIR\n");
    return 2;
  }
  const fs::path dir(argv[1]);
  bool ok = write(dir / "floor-plan.trv", floor_plan::drawing("HALD 2002").build());
  const std::pair<const char*, const char*> older[] = {
      {"TORV 2000", "floor-plan-torv2000.trv"}, {"TORV 99", "floor-plan-torv99.trv"},
      {"TORV 98", "floor-plan-torv98.trv"}, {"SELK 97", "floor-plan-selk97.trv"}};
  for (const auto& [version, name] : older) ok = write(dir / name, floor_plan::drawing(version).build()) && ok;
  ok = write(dir / "legacy-torv15.trv", floor_plan::legacy()) && ok;
  if (ok) std::printf("examples written to %s\n", dir.string().c_str());
  return ok ? 0 : 1;
}
