// trv info: the version, the generation and the section directory of a file
// (legacy files: see legacy_info.cpp).
#include <cstdio>
#include <cstring>

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

int info_current(const std::string& path, const std::vector<unsigned char>& bytes) {
  tagFile f{bytes.data(), static_cast<int32_t>(bytes.size()), 0};
  TorvHeader header;
  if (!read_torv_header(&f, header)) {
    error(path + ": shorter than the 88-byte header (" + std::to_string(bytes.size()) + " bytes)");
    return 1;
  }
  const int generation = torv_generation(header.version);
  std::printf("file:       %s (%zu bytes)\n", path.c_str(), bytes.size());
  std::printf("version:    \"%s\"%s\n", version_text(header.version, sizeof header.version).c_str(),
              memchr(header.version, 0, sizeof header.version) ? "" : " (no terminator)");
  if (generation < 0) std::printf("generation: unknown (not loaded)\n");
  else if (generation == 2) std::printf("generation: 2 (refused)\n");
  else std::printf("generation: %d\n", generation);
  std::printf("directory:\n");
  for (const TorvSlotInfo& s : kTorvSlots) {
    const int32_t pos = header_slot(header, s.slot);
    const bool inside = pos >= 0 && static_cast<std::size_t>(pos) < bytes.size();
    const bool read = !loader_skips(s.slot, pos);
    std::printf("  %2d %-18s %11d  %s%s\n", static_cast<int>(s.slot), s.name, pos,
                inside ? "inside the file" : "outside the file", read ? "" : "  (not read)");
  }
  if (generation < 0) error(path + ": unknown version string; the file cannot be loaded");
  else if (generation == 2) error(path + ": this version is refused by the loader");
  return generation >= 3 ? 0 : 1;
}

}  // namespace

int run_info(const std::string& path) {
  auto bytes = read_file(path);
  if (!bytes) return 1;
  if (bytes->empty()) {
    error(path + ": the file is empty");
    return 1;
  }
  // The loader hands a file whose first byte is 'T' to the legacy loader.
  if ((*bytes)[0] == 'T') return info_legacy(path, *bytes);
  return info_current(path, *bytes);
}

}  // namespace trv
