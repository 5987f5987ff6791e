// Where the writer's bytes go: an open file, or a buffer in memory. Every
// write advances `position`; the first failure clears `ok`, after which
// nothing more reaches the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

class KT_Carried;
class KT_Drawing;

struct TorvWriter {
  std::FILE* file = nullptr;                     // written through when set
  std::vector<unsigned char>* memory = nullptr;  // else appended here (starts empty)
  bool discard = false;                          // else, when set, counted and dropped
  int32_t position = 0;                          // bytes written so far
  bool ok = true;
  int error = 0;  // errno of the first file operation that failed, 0 if none did
  // Output is gathered here and handed on in large pieces (writer_flush): a
  // drawing of a million entities is tens of millions of small fields.
  std::vector<unsigned char> stage;
  std::size_t staged = 0;
  // What the host carried of the drawing's file (kernel/kt_carried.h); null:
  // the drawing alone is written.
  const KT_Carried* carried = nullptr;
  // The drawing being written (write_drawing sets it): a changed drawable
  // whose colour follows its layer finds the layer's colour there.
  const KT_Drawing* drawing = nullptr;
};

// Appends size bytes. A file that would outgrow 32-bit positions fails.
void writer_put_slow(TorvWriter& w, const void* data, std::size_t size);

inline void writer_put(TorvWriter& w, const void* data, std::size_t size) {
  if (w.ok && size <= w.stage.size() - w.staged && size <= static_cast<std::size_t>(INT32_MAX - w.position)) {
    std::memcpy(w.stage.data() + w.staged, data, size);
    w.staged += size;
    w.position += static_cast<int32_t>(size);
    return;
  }
  writer_put_slow(w, data, size);
}

// Hands every staged byte to the file or the buffer; false (and ok
// cleared) on failure. Writing a whole drawing ends with it; who writes
// single sections flushes before looking at the output.
bool writer_flush(TorvWriter& w);

// Writes size bytes again over the start of the output (staged bytes are
// flushed first), then goes back to its end. size must not exceed what was
// written.
void writer_rewrite_start(TorvWriter& w, const void* data, std::size_t size);
