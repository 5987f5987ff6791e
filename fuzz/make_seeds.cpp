// Writes the seed corpora of the fuzz targets: whole drawings of every
// generation, each entity kind alone, truncated copies, and list files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/random_drawing.h"
#include "tests/support/sample_drawing.h"

namespace fs = std::filesystem;

namespace {

void write(const fs::path& dir, const std::string& name, const std::vector<unsigned char>& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> prefix(const std::vector<unsigned char>& b, std::size_t n) {
  return {b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(n, b.size()))};
}

// A legacy file: header, directory, the fixed blocks, a variable table, the
// four tables and an entity section of framed records.
std::vector<unsigned char> legacy_file(const char* version, bool preview, bool extra) {
  const bool v15 = std::string(version) == "Torv 1.5";
  Bytes b;
  b.raw(version).zeros(20 - std::string(version).size()).u8(preview ? 1 : 0).u8(extra ? 1 : 0);
  const std::size_t dir = b.size();
  b.zeros(80);
  if (preview) b.u16(2).zeros(20).i32(6).zeros(16).zeros(8).zeros(6);
  if (extra) b.zeros(110);
  b.pt2(0, 0).pt3(1, 2, 3);
  b.i16(4).u8(1).i32(7).u8(4).f64(1.5).u8(12).str("name").u8(15).pt2(1, 2);
  auto table = [&](std::size_t slot, int stride, int count, std::size_t body) {
    b.patch<int16_t>(dir + slot, static_cast<int16_t>(stride));
    b.patch<int16_t>(dir + slot + 2, static_cast<int16_t>(count));
    b.patch<int32_t>(dir + slot + 4, static_cast<int32_t>(b.size()));
    for (int i = 0; i < count; ++i) b.u8(1).zeros(body).zeros(static_cast<std::size_t>(stride) - 1 - body);
  };
  table(16, v15 ? 119 : 55, 2, v15 ? 118 : 54);  // blocks
  table(24, 40, 1, 36);                          // layers
  table(32, 197, 1, 196);                        // text styles
  table(40, 190, 2, 186);                        // line types
  b.patch<int32_t>(dir, static_cast<int32_t>(b.size()));
  b.u8(1).u8(0x43).i16(8 + 4 + 2 + 2 + 4).zeros(4).i16(2).raw("ab").i16(1).i16(2).zeros(0);
  b.u8(13).u8(0).i16(8).zeros(4);
  b.patch<int32_t>(dir + 4, static_cast<int32_t>(b.size()));
  return b.data();
}

void document_seeds(const fs::path& dir) {
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"}) {
    auto bytes = sample::full_drawing(version).build();
    std::string name = version;
    for (char& c : name) c = c == ' ' ? '_' : c;
    write(dir, "full_" + name, bytes);
    if (std::string(version) == "TORV 2000") {
      for (std::size_t cut : {88u, 120u, 500u, 2000u, 2100u, 2200u})
        write(dir, "cut_" + std::to_string(cut), prefix(bytes, cut));
      // Mode 0 (odd sizes): the system variables are not walked.
      bytes.push_back(0);
      write(dir, "full_mode0", bytes);
    }
  }
  write(dir, "header_only", TorvFile("TORV 2000").build());
  write(dir, "refused", TorvFile("SELK 24.05.95").build());
  write(dir, "legacy", legacy_file("Torv 1.5", true, false));
  write(dir, "layers_only", TorvFile().section(kSlotLayers, sample::layers()).build());
  write(dir, "blocks_only", TorvFile().section(kSlotBlocks, sample::blocks()).build());
}

void entity_seeds(const fs::path& dir) {
  uint32_t count = 0;
  const Bytes all = sample::every_kind(count);
  write(dir, "every_kind", Bytes().u32(count).u8(0).append(all).data());
  write(dir, "every_kind_in_block", Bytes().u32(count).u8(1).append(all).data());
  write(dir, "claims_too_many", Bytes().u32(0xFFFFFFFF).u8(0).append(all).data());
}

void legacy_seeds(const fs::path& dir) {
  write(dir, "v10_plain", legacy_file("Torv 1.0", false, false));
  write(dir, "v15_preview_extra", legacy_file("Torv 1.5", true, true));
  write(dir, "v15_upper", legacy_file("TORV 1.5", false, true));
}

void sysvar_list_seeds(const fs::path& dir, const fs::path& list) {
  std::ifstream in(list, std::ios::binary);
  std::vector<unsigned char> text((std::istreambuf_iterator<char>(in)), {});
  write(dir, "shipped_list", text);
  const std::string small = "4\nA 1\nB 8\nNOBLANK\nC 264\n";
  write(dir, "small_list", {small.begin(), small.end()});
}

// Whole drawings to save and load again: the sample in every generation and
// random files of every record kind with odd doubles.
void save_round_trip_seeds(const fs::path& dir) {
  for (const char* version : {"SELK 97", "TORV 99", "HALD 2002"}) {
    std::string name = std::string("full_") + version;
    for (char& c : name)
      if (c == ' ') c = '_';
    write(dir, name, sample::full_drawing(version).build());
  }
  for (uint64_t seed = 1; seed <= 6; ++seed) write(dir, "random_" + std::to_string(seed), RandomDrawing(seed).file());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: make_seeds CORPUS_DIR SYSVAR_LIST [EXAMPLE_OUT]\n");
    return 2;
  }
  const fs::path root(argv[1]);
  document_seeds(root / "fuzz_load_document");
  entity_seeds(root / "fuzz_load_entities");
  legacy_seeds(root / "fuzz_legacy");
  sysvar_list_seeds(root / "fuzz_sysvar_list", argv[2]);
  save_round_trip_seeds(root / "fuzz_save_round_trip");
  // The bundled example is the same whole drawing, newest generation.
  if (argc == 4) {
    const fs::path example(argv[3]);
    write(example.parent_path(), example.filename().string(), sample::full_drawing("HALD 2002").build());
  }
  std::printf("seeds written under %s\n", root.string().c_str());
  return 0;
}
