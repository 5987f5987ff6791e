#include <algorithm>
#include <cstring>

#include "format/record_reader.h"
#include "format/torv_header.h"
#include "legacy/legacy_layout.h"
#include "load/load.h"

namespace kttrv {

FileIdentity identify_file(std::span<const unsigned char> head, std::uint64_t size) {
  FileIdentity id;
  id.size = size;
  if (head.empty()) return id;
  unsigned char bytes[kTorvHeaderSize] = {};
  const std::size_t n = std::min(head.size(), sizeof bytes);
  std::memcpy(bytes, head.data(), n);
  // The loader hands a file whose first byte is 'T' to the legacy loader.
  id.legacy = bytes[0] == 'T';
  const std::size_t from = id.legacy ? 0 : 2;
  const std::size_t field = id.legacy ? 20 : 14;
  std::size_t i = from;
  for (; i < from + field && i < n && bytes[i] != 0; ++i) id.version += static_cast<char>(bytes[i]);
  id.version_terminated = i < from + field && i < n;
  // The header's fields as the readers take them, zeros past a short file.
  tagFile f{bytes, kTorvHeaderSize, 0};
  if (id.legacy) {
    LegacyHeader legacy;
    RecordReader(&f).bytes(legacy.version, sizeof legacy.version);
    id.readable = legacy_generation(legacy) != LegacyGeneration::unknown;
    return id;
  }
  TorvHeader header;
  read_torv_header(&f, header);
  const int generation = torv_generation(header.version);
  // A header the file does not hold whole names no version.
  if (n >= kTorvHeaderSize) id.generation = generation;
  id.readable = generation >= 0 && generation != 2;
  return id;
}

}  // namespace kttrv
