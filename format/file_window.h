// A drawing file read a window at a time: the readers see the whole file
// through the cursor, but only a few MiB of it are in memory at once, so a
// large load does not pay for a fresh page per 4 KiB of file (nor hold the
// file in memory beside the drawing).
//
// Views into the buffer (a record, a string) must stay valid while a record
// is read, so the window moves in place only between records
// (RecordReader::between_records), once less than a sixteenth of it lies
// ahead. A read that passes the window within a record gets a new buffer;
// the old one is kept until the next pause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "format/input_file.h"
#include "format/tag_file.h"

class FileWindow {
 public:
  static constexpr std::size_t kDefaultBytes = std::size_t{4} << 20;

  // Reads `file` (open, at most INT32_MAX bytes) through `f`, whose length
  // and window it sets; `bytes` is the window's size (tests make it small).
  FileWindow(const InputFile& file, tagFile& f, std::size_t bytes = kDefaultBytes);
  ~FileWindow();
  FileWindow(const FileWindow&) = delete;
  FileWindow& operator=(const FileWindow&) = delete;

  // The n bytes at position (position + n within the file), in a buffer
  // that stays valid until the next pause; null when they cannot be read.
  const unsigned char* bring_in(int32_t position, std::size_t n);
  // A pause between records: the window may move in place.
  void slide();
  // The position was set: one outside the window empties it, so that the
  // position never lies before the window's start.
  void moved();

  // Copies the n bytes at `from` out of the file itself (the window may no
  // longer hold them); false when they cannot be read.
  bool copy(int64_t from, std::size_t n, unsigned char* dst);
  // The offset of the first zero byte in [from, to), or -1 (also when the
  // file cannot be read there); the bytes are looked at, not kept.
  int64_t find_zero(int64_t from, int64_t to);

  // Whether a read of the file failed (it shrank, or an I/O error).
  bool failed() const { return failed_; }
  // Whether a buffer could not be had.
  bool out_of_memory() const { return out_of_memory_; }

 private:
  void show(int32_t base, std::size_t span);

  const InputFile& file_;
  tagFile& f_;
  std::size_t bytes_;
  std::unique_ptr<FileBlock> buffer_;  // in 2 MiB pages when it is large
  std::size_t capacity_ = 0;
  std::vector<std::unique_ptr<FileBlock>> retired_;  // until the next pause
  bool failed_ = false;
  bool out_of_memory_ = false;
};
