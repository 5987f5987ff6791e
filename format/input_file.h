// Every input (a drawing, the system-variable list) is opened the same way:
// without blocking, a regular file only, its size known before a byte is
// read. The calls to the operating system live in input_file_posix.cpp; a
// version for another system sits beside it with this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class InputFile {
 public:
  // Opens path for reading. A directory, FIFO, device or socket is refused
  // (a FIFO without a writer does not block the open); so is a file larger
  // than max_size. On failure the file is closed and problem says what is
  // wrong, without the path ("is a directory", "No such file or directory").
  bool open(const char* path, std::uint64_t max_size, std::string& problem);

  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::uint64_t size() const { return size_; }
  // The last modification time (nanoseconds since the epoch).
  std::int64_t modified() const { return modified_; }

  // Reads n bytes from offset into dst; false unless all of them came.
  bool read_at(std::uint64_t offset, void* dst, std::size_t n) const;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::int64_t modified_ = 0;
};

// Memory for a file's bytes: a large block is aligned to 2 MiB and asks for
// 2 MiB pages, so filling it costs a few page faults instead of one per
// 4 KiB. Released when the block goes.
class FileBlock {
 public:
  // size bytes; false when they cannot be had.
  bool allocate(std::size_t size);

  FileBlock() = default;
  ~FileBlock() { release(); }
  FileBlock(const FileBlock&) = delete;
  FileBlock& operator=(const FileBlock&) = delete;

  unsigned char* data() const { return data_; }

 private:
  void release();

  unsigned char* data_ = nullptr;
  std::size_t mapped_ = 0;  // non-zero when the block is a mapping of this size
};
