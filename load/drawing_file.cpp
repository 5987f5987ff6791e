#include "load/drawing_file.h"

#include <cstring>
#include <limits>

#include "legacy/legacy_layout.h"
#include "format/record_reader.h"
#include "format/torv_header.h"

namespace {

// Whether the first bytes name a version the loader reads (a refused one is
// not); the load reports the reason when they do not.
bool names_readable_version(const unsigned char (&head)[kTorvHeaderSize]) {
  tagFile f{head, kTorvHeaderSize, 0};
  if (head[0] == 'T') {
    LegacyHeader legacy;
    RecordReader(&f).bytes(legacy.version, sizeof legacy.version);
    return legacy_generation(legacy) != LegacyGeneration::unknown;
  }
  TorvHeader header;
  read_torv_header(&f, header);
  const int generation = torv_generation(header.version);
  return generation >= 0 && generation != 2;
}

}  // namespace

bool read_drawing_file(const char* path, DrawingFile& out, std::string& problem) {
  InputFile file;
  if (!file.open(path, std::numeric_limits<int32_t>::max(), problem)) return false;
  out.size = file.size();
  const auto size = static_cast<std::size_t>(out.size);

  unsigned char head[kTorvHeaderSize];
  const std::size_t head_size = size < sizeof head ? size : sizeof head;
  if (!file.read_at(0, head, head_size)) {
    problem = "cannot be read";
    return false;
  }
  // A file longer than its header whose header names no version that loads:
  // the header alone is enough to refuse it.
  out.read = size > head_size && !names_readable_version(head) ? head_size : size;
  if (!out.block.allocate(out.read + 1)) {
    problem = "does not fit in memory (" + std::to_string(size) + " bytes)";
    return false;
  }
  std::memcpy(out.block.data(), head, head_size);
  if (!file.read_at(head_size, out.block.data() + head_size, out.read - head_size)) {
    problem = "cannot be read to its end (did it shrink?)";
    return false;
  }
  out.block.data()[out.read] = 0;
  return true;
}
