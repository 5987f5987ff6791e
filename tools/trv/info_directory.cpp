// trv info --directory: the version, the generation and the section
// directory of a file (legacy files: see legacy_info.cpp).
#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "format/torv_header.h"
#include "load/drawing_file.h"
#include "load/load.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/info.h"
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

// Only the header is read; the size is the file's.
int info_current(const std::string& path, const DrawingHead& head, const kttrv::FileIdentity& id) {
  tagFile f{head.bytes, static_cast<int32_t>(head.size), 0};
  TorvHeader header;
  if (!read_torv_header(&f, header)) {
    error(path + ": shorter than the 88-byte header (" + std::to_string(id.size) + " bytes)");
    return 1;
  }
  const int generation = id.generation;
  std::printf("file:       %s (%llu bytes)\n", path.c_str(), static_cast<unsigned long long>(id.size));
  std::printf("version:    \"%s\"%s\n", bytes_to_utf8(id.version.c_str()).c_str(),
              id.version_terminated ? "" : " (no terminator)");
  if (generation < 0) std::printf("generation: unknown (not loaded)\n");
  else if (generation == 2) std::printf("generation: 2 (refused)\n");
  else std::printf("generation: %d\n", generation);
  std::printf("directory:\n");
  for (const TorvSlotInfo& s : kTorvSlots) {
    const int32_t pos = header_slot(header, s.slot);
    const bool inside = pos >= 0 && static_cast<std::uint64_t>(pos) < id.size;
    const bool read = !loader_skips(s.slot, pos);
    std::printf("  %2d %-18s %11d  %s%s\n", static_cast<int>(s.slot), s.name, pos,
                inside ? "inside the file" : "outside the file", read ? "" : "  (not read)");
  }
  if (generation < 0) error(path + ": unknown version string; the file cannot be loaded");
  else if (generation == 2) error(path + ": this version is refused by the loader");
  return generation >= 3 ? 0 : 1;
}

}  // namespace

namespace {

// Standard input: its head as the head of a file, and the whole of it for
// a legacy file's summary.
int info_standard_input() {
  const std::vector<unsigned char>* bytes = standard_input();
  if (bytes == nullptr) {
    error("-: " + standard_input_failure());
    return 1;
  }
  if (bytes->empty()) {
    error("-: the file is empty");
    return 1;
  }
  DrawingHead head;
  head.size = std::min<std::size_t>(bytes->size(), kTorvHeaderSize);
  std::memcpy(head.bytes, bytes->data(), head.size);
  const kttrv::FileIdentity id = kttrv::identify_file({head.bytes, head.size}, bytes->size());
  if (!id.legacy) return info_current("-", head, id);
  DrawingFile file;
  if (!file.block.allocate(bytes->size() + 1)) {
    error("-: not enough memory for the file");
    return 1;
  }
  std::memcpy(file.block.data(), bytes->data(), bytes->size());
  file.block.data()[bytes->size()] = 0;
  file.read = bytes->size();
  file.size = bytes->size();
  return info_legacy("-", id, file);
}

}  // namespace

int info_directory(const std::string& path) {
  if (path == "-") return info_standard_input();
  // A current file's header and directory say all this shows: only its
  // first 88 bytes are read, however large the file.
  InputFile input;
  DrawingHead head;
  std::string problem;
  if (!open_drawing_file(path.c_str(), input, head, problem)) {
    error(path + ": " + problem);
    return 1;
  }
  if (input.size() == 0) {
    error(path + ": the file is empty");
    return 1;
  }
  const kttrv::FileIdentity id = kttrv::identify_file({head.bytes, head.size}, input.size());
  if (!id.legacy) return info_current(path, head, id);
  // A legacy file's summary walks the whole file.
  DrawingFile file;
  if (!read_drawing_file(input, head, file, problem)) {
    error(path + ": " + problem);
    return 1;
  }
  return info_legacy(path, id, file);
}

}  // namespace trv
