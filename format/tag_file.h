// The file every reader shares: a buffer, its length and a read position.
// Reads that would pass the end deliver nothing and move nothing.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "file values are little-endian and copied as they stand");

class FileWindow;
struct LoadContext;

struct tagFile {
  const unsigned char* buffer = nullptr;  // owned by whoever filled it
  int32_t length = 0;                     // valid bytes
  int32_t position = 0;                   // next byte to read

  // A file in memory leaves these as they are: its buffer holds every byte.
  // A file read a window at a time (file_window.h) holds in its buffer only
  // the bytes from offset `base` to `window_end`; its window brings in the
  // others. The position never lies before `base` (a seek there empties
  // the window), so a read inside [position, window_end] is in the buffer.
  int32_t base = 0;
  int64_t window_end = INT64_MAX;
  int32_t refill_at = INT32_MAX;  // past this position, a pause between records slides the window
  FileWindow* window = nullptr;
  // The load this stream belongs to (load_context.h); null: none.
  const LoadContext* context = nullptr;
};

// The historic functions over it; each is a read of the cursor
// (format/record_reader.h) and fails as it does.

// Copies size * count bytes and returns count, or returns 0 and changes
// nothing when they are not all there.
std::size_t file_read(void* dst, std::size_t size, std::size_t count, tagFile* f);

// mode 0: from the start, 1: from the position, 2: from the end; any other
// mode changes nothing. The new position is not checked against the length;
// one that does not fit a 32-bit position leaves it unchanged (and gives -1).
int file_seek(tagFile* f, int32_t offset, int mode);

inline int32_t file_tell(const tagFile* f) { return f->position; }

// A counted string: int16 length n, then n bytes (none when n <= 0). Stores
// at most cap - 1 bytes and a terminator; the stream moves past the whole
// string. Returns 1, or 0 (moving nothing, storing "") when it is cut short.
int read_counted_string(tagFile* f, char* dst, std::size_t cap);

// A zero-terminated string. Stores at most cap - 1 bytes and a terminator and
// moves past the zero. Returns 1, or 0 when the buffer ends before a zero
// (the position is then at the end).
int read_cstring(tagFile* f, char* dst, std::size_t cap);

// Three doubles x, y, z. Returns 1, or 0 (nothing read) when cut short.
int read_pt3(tagFile* f, double* xyz);
