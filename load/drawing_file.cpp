#include "load/drawing_file.h"

#include <cstring>
#include <limits>

#include "load/load.h"

bool open_drawing_file(const char* path, InputFile& file, DrawingHead& head, std::string& problem) {
  return file.open(path, std::numeric_limits<int32_t>::max(), problem) && read_drawing_head(file, head, problem);
}

bool read_drawing_head(const InputFile& file, DrawingHead& head, std::string& problem) {
  head.size = file.size() < sizeof head.bytes ? static_cast<std::size_t>(file.size()) : sizeof head.bytes;
  if (!file.read_at(0, head.bytes, head.size)) {
    problem = "cannot be read";
    return false;
  }
  head.readable = kttrv::identify_file({head.bytes, head.size}, file.size()).readable;
  return true;
}

bool read_drawing_file(const char* path, DrawingFile& out, std::string& problem) {
  InputFile file;
  DrawingHead head;
  return open_drawing_file(path, file, head, problem) && read_drawing_file(file, head, out, problem);
}

bool read_drawing_file(const InputFile& file, const DrawingHead& head, DrawingFile& out, std::string& problem) {
  out.size = file.size();
  const auto size = static_cast<std::size_t>(out.size);
  // A file longer than its header whose header names no version that loads:
  // the header alone is enough to refuse it.
  out.read = size > head.size && !head.readable ? head.size : size;
  if (!out.block.allocate(out.read + 1)) {
    problem = "does not fit in memory (" + std::to_string(size) + " bytes)";
    return false;
  }
  std::memcpy(out.block.data(), head.bytes, head.size);
  if (!file.read_at(head.size, out.block.data() + head.size, out.read - head.size)) {
    problem = "cannot be read to its end (did it shrink?)";
    return false;
  }
  out.block.data()[out.read] = 0;
  return true;
}
