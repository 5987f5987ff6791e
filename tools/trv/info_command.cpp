// trv info --directory: the version, the generation and the section
// directory of a file (legacy files: see legacy_info.cpp). What the loaded
// drawing holds: info_summary.cpp.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <limits>

#include "format/torv_header.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/legacy_info.h"

namespace trv {

namespace {

// Whether the loader treats the slot's value as "no section".
bool loader_skips(TorvSlot slot, int32_t pos) {
  switch (slot) {
    case kSlotLayers:
    case kSlotTextStyles: return pos < 0;
    case kSlotDimStyles: return pos < 1;
    case kSlotBlocks:
    case kSlotEntities: return pos == -1;
    case kSlotSysVars: return false;
    default: return true;  // not read by the loader
  }
}

std::string version_text(const char* field, std::size_t size) {
  std::string s(field, strnlen(field, size));
  return bytes_to_utf8(s.c_str());
}

// Only the header is read; the size is the file's.
int info_current(const std::string& path, const DrawingFile& file) {
  tagFile f{file.block.data(), static_cast<int32_t>(file.read), 0};
  TorvHeader header;
  if (!read_torv_header(&f, header)) {
    error(path + ": shorter than the 88-byte header (" + std::to_string(file.size) + " bytes)");
    return 1;
  }
  const int generation = torv_generation(header.version);
  std::printf("file:       %s (%llu bytes)\n", path.c_str(), static_cast<unsigned long long>(file.size));
  std::printf("version:    \"%s\"%s\n", version_text(header.version, sizeof header.version).c_str(),
              memchr(header.version, 0, sizeof header.version) ? "" : " (no terminator)");
  if (generation < 0) std::printf("generation: unknown (not loaded)\n");
  else if (generation == 2) std::printf("generation: 2 (refused)\n");
  else std::printf("generation: %d\n", generation);
  std::printf("directory:\n");
  for (const TorvSlotInfo& s : kTorvSlots) {
    const int32_t pos = header_slot(header, s.slot);
    const bool inside = pos >= 0 && static_cast<std::uint64_t>(pos) < file.size;
    const bool read = !loader_skips(s.slot, pos);
    std::printf("  %2d %-18s %11d  %s%s\n", static_cast<int>(s.slot), s.name, pos,
                inside ? "inside the file" : "outside the file", read ? "" : "  (not read)");
  }
  if (generation < 0) error(path + ": unknown version string; the file cannot be loaded");
  else if (generation == 2) error(path + ": this version is refused by the loader");
  return generation >= 3 ? 0 : 1;
}

}  // namespace

int run_directory(const std::string& path) {
  // A current file's header and directory say all this shows: only its
  // first 88 bytes are read, however large the file.
  InputFile input;
  std::string problem;
  if (!input.open(path.c_str(), std::numeric_limits<int32_t>::max(), problem)) {
    error(path + ": " + problem);
    return 1;
  }
  if (input.size() == 0) {
    error(path + ": the file is empty");
    return 1;
  }
  DrawingFile head;
  head.size = input.size();
  head.read = static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), kTorvHeaderSize));
  if (!head.block.allocate(head.read + 1) || !input.read_at(0, head.block.data(), head.read)) {
    error(path + ": cannot be read");
    return 1;
  }
  head.block.data()[head.read] = 0;
  // The loader hands a file whose first byte is 'T' to the legacy loader,
  // whose summary walks the whole file.
  if (head.block.data()[0] != 'T') return info_current(path, head);
  const auto file = read_input(path);
  return file ? info_legacy(path, *file) : 1;
}

}  // namespace trv
