// Where the writer's bytes go: an open file, or a buffer in memory. Every
// write advances `position`; the first failure clears `ok`, after which
// nothing more reaches the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct TorvWriter {
  std::FILE* file = nullptr;                     // written through when set
  std::vector<unsigned char>* memory = nullptr;  // else appended here (starts empty)
  int32_t position = 0;                          // bytes written so far
  bool ok = true;
};

// Appends size bytes. A file that would outgrow 32-bit positions fails.
void writer_put(TorvWriter& w, const void* data, std::size_t size);

// Writes size bytes again over the start of the output, then goes back to
// its end. size must not exceed what was written.
void writer_rewrite_start(TorvWriter& w, const void* data, std::size_t size);
