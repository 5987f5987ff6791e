// A drawing file brought into memory as every load brings it: opened as any
// input is (input_file.h), its header read first, and the rest only when the
// header names a version the loader reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/input_file.h"

struct DrawingFile {
  FileBlock block;         // the bytes read, then a zero
  std::size_t read = 0;    // the whole file, or only its header
  std::uint64_t size = 0;  // the file's size
};

// False, with problem saying what is wrong (not naming the file), when the
// file cannot be opened or read; a file over the 32-bit limit is refused
// before a byte is read.
bool read_drawing_file(const char* path, DrawingFile& out, std::string& problem);
