// A drawing file brought into memory as every load brings it: opened as any
// input is (input_file.h), its header read first, and the rest only when the
// header names a version the loader reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/input_file.h"
#include "format/torv_header.h"

// The first bytes of a drawing file (its header, or all of a shorter file).
struct DrawingHead {
  unsigned char bytes[kTorvHeaderSize] = {};
  std::size_t size = 0;
  // Whether they name a version the loader reads; a file that names none is
  // refused from its header alone.
  bool readable = false;
};

// Opens path and reads its head. False, with problem saying what is wrong
// (not naming the file), when it cannot be opened or read; a file over the
// 32-bit limit is refused before a byte is read.
bool open_drawing_file(const char* path, InputFile& file, DrawingHead& head, std::string& problem);
// The head of a file already open.
bool read_drawing_head(const InputFile& file, DrawingHead& head, std::string& problem);

struct DrawingFile {
  FileBlock block;         // the bytes read, then a zero
  std::size_t read = 0;    // the whole file, or only its header
  std::uint64_t size = 0;  // the file's size
};

// The whole file in memory (only its head when the head is refused).
bool read_drawing_file(const char* path, DrawingFile& out, std::string& problem);
bool read_drawing_file(const InputFile& file, const DrawingHead& head, DrawingFile& out, std::string& problem);
