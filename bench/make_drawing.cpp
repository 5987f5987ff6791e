// trv-synth: writes a large synthetic drawing, for benchmarks and for trying
// trv on big files.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>
#include <fstream>
#include <iostream>

#include "bench/synthetic_drawing.h"

int main(int argc, char** argv) {
  CLI::App app{"Writes a large synthetic TORV drawing"};
  synth::Options o;
  std::string out;
  app.add_option("OUT", out, "file to write")->required();
  // Counts the file's 32-bit fields hold and a machine can build in memory.
  app.add_option("--entities", o.entities, "model-space entity records")
      ->check(CLI::Range(0u, 50'000'000u))->capture_default_str();
  app.add_option("--layers", o.layers, "layers (at least 1)")->check(CLI::Range(1u, 100'000u))->capture_default_str();
  app.add_option("--text-styles", o.text_styles, "text styles")->check(CLI::Range(0u, 100'000u))->capture_default_str();
  app.add_option("--blocks", o.blocks, "blocks")->check(CLI::Range(0u, 100'000u))->capture_default_str();
  app.add_option("--block-entities", o.block_entities, "entity records per block")
      ->check(CLI::Range(0u, 100'000u))->capture_default_str();
  app.add_option("--version", o.version, "version string: SELK 97, TORV 98, TORV 99, TORV 2000 or HALD 2002")
      ->check(CLI::IsMember(std::vector<std::string>(std::begin(synth::kVersions), std::end(synth::kVersions))))
      ->capture_default_str();
  app.add_option("--seed", o.seed, "picks the values and the names' tag (0: the same drawing as always)")
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);  // --help ends here too
    return status == 0 ? 0 : 2;
  }

  if (static_cast<uint64_t>(o.blocks) * o.block_entities > 50'000'000u) {
    std::cerr << "trv-synth: --blocks times --block-entities must be at most 50000000\n";
    return 2;
  }
  const auto bytes = synth::drawing(o);
  std::ofstream file(out, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) {
    std::cerr << "trv-synth: cannot write " << out << '\n';
    return 1;
  }
  std::printf("%s: %zu bytes\n", out.c_str(), bytes.size());
  return 0;
}
