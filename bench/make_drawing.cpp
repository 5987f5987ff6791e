// trv-synth: writes a large synthetic drawing, for benchmarks and for trying
// trv on big files.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "bench/synthetic_drawing.h"

int main(int argc, char** argv) {
  CLI::App app{"Writes a large synthetic TORV drawing"};
  synth::Options o;
  std::string out;
  app.add_option("OUT", out, "file to write")->required();
  app.add_option("--entities", o.entities, "model-space entity records")->capture_default_str();
  app.add_option("--layers", o.layers, "layers")->capture_default_str();
  app.add_option("--text-styles", o.text_styles, "text styles")->capture_default_str();
  app.add_option("--blocks", o.blocks, "blocks")->capture_default_str();
  app.add_option("--block-entities", o.block_entities, "entity records per block")->capture_default_str();
  app.add_option("--version", o.version, "version string")->capture_default_str();
  CLI11_PARSE(app, argc, argv);

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
