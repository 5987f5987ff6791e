// Large synthetic drawings for benchmarks and for `trv-synth`: many layers and
// text styles, blocks with their own entities, and a model space of mixed
// entity kinds in realistic shares, with and without xdata.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace synth {

struct Options {
  std::string version = "HALD 2002";
  uint32_t entities = 1'000'000;  // model-space records
  uint32_t layers = 1'000;
  uint32_t text_styles = 1'000;
  uint32_t blocks = 1'000;
  uint32_t block_entities = 100;  // records in each block
  // 0: the same file every time. Any other seed picks other values and
  // names (each table's and block's names carry it), so drawings made with
  // different seeds hold different names.
  uint64_t seed = 0;
};

// The versions the writer of these drawings lays out and the loader reads.
inline constexpr const char* kVersions[] = {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"};

// The kinds of the model-space mix, in the order of their shares.
enum class Mix { lines, arcs, circles, texts, polylines, point_chains, inserts, dimensions, points, solids, skipped };

// A whole file.
std::vector<unsigned char> drawing(const Options& options);

// An entity section of `count` records only of one kind (`Mix`), or of the
// mix when `only` is null; `records` receives the record count.
std::vector<unsigned char> entity_stream(uint32_t count, const Mix* only = nullptr);

}  // namespace synth
