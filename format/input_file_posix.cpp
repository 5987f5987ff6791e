// InputFile and FileBlock on POSIX systems.
#ifndef _WIN32

#include "format/input_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "format/huge_page_block.h"

namespace {

const char* kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "is a directory";
  if (S_ISFIFO(mode)) return "is a FIFO";
  if (S_ISCHR(mode)) return "is a character device";
  if (S_ISBLK(mode)) return "is a block device";
  if (S_ISSOCK(mode)) return "is a socket";
  return "is not a regular file";
}

}  // namespace

bool InputFile::open(const char* path, std::uint64_t max_size, std::string& problem) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
  if (path == nullptr || *path == '\0') {
    problem = "no file named";
    return false;
  }
  // Non-blocking, so that a FIFO without a writer or a device that waits
  // cannot hold the open; nothing is read before the type is known.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int cause = errno;
    struct stat st {};
    // A socket cannot be opened at all; say what it is rather than ENXIO.
    problem = ::stat(path, &st) == 0 && !S_ISREG(st.st_mode) ? kind_of(st.st_mode) : std::strerror(cause);
    return false;
  }
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    problem = known ? kind_of(st.st_mode) : std::strerror(errno);
    ::close(fd);
    return false;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  size_ = size;  // also for a file refused as too large
  if (size > max_size) {
    problem = "is too large: " + std::to_string(size) + " bytes, at most " + std::to_string(max_size);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  modified_ = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::read_at(std::uint64_t offset, void* dst, std::size_t n) const {
  auto* out = static_cast<unsigned char*>(dst);
  while (n > 0) {
    const ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // an error, or the file ended early (it shrank)
    out += got;
    offset += static_cast<std::uint64_t>(got);
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

bool FileBlock::allocate(std::size_t size) {
  release();
  if (size >= kHugePageBytes) {
    std::size_t length = 0;
    if (void* block = map_huge_page_block(size, length)) {
      data_ = static_cast<unsigned char*>(block);
      mapped_ = length;
      return true;
    }
  }
  data_ = static_cast<unsigned char*>(::operator new(size == 0 ? 1 : size, std::nothrow));
  return data_ != nullptr;
}

void FileBlock::release() {
  if (data_ != nullptr && mapped_ != 0) ::munmap(data_, mapped_);
  else if (data_ != nullptr) ::operator delete(data_);
  data_ = nullptr;
  mapped_ = 0;
}

#endif  // _WIN32
