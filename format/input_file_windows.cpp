// InputFile and FileBlock on Windows: paths are UTF-8 and opened through the
// wide API, so any name the system allows can be read.
#ifdef _WIN32

#include "format/input_file.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace {

std::wstring wide_path(const char* path) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path, -1, w.data(), n);
  w.resize(static_cast<std::size_t>(n - 1));
  return w;
}

const char* kind_of(unsigned short mode) {
  if ((mode & _S_IFMT) == _S_IFDIR) return "is a directory";
  if ((mode & _S_IFMT) == _S_IFIFO) return "is a FIFO";
  if ((mode & _S_IFMT) == _S_IFCHR) return "is a character device";
  return "is not a regular file";
}

}  // namespace

bool InputFile::open(const char* path, std::uint64_t max_size, std::string& problem) {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
  size_ = 0;
  if (path == nullptr || *path == '\0') {
    problem = "no file named";
    return false;
  }
  const std::wstring name = wide_path(path);
  // The type first: a directory cannot be opened, and a device or pipe must
  // not be read from.
  struct _stat64 st {};
  if (name.empty() || ::_wstat64(name.c_str(), &st) != 0) {
    problem = std::strerror(name.empty() ? EINVAL : errno);
    return false;
  }
  if ((st.st_mode & _S_IFMT) != _S_IFREG) {
    problem = kind_of(st.st_mode);
    return false;
  }
  const int fd = ::_wopen(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    problem = std::strerror(errno);
    return false;
  }
  if (::_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
    problem = "is not a regular file";
    ::_close(fd);
    return false;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  size_ = size;  // also for a file refused as too large
  if (size > max_size) {
    problem = "is too large: " + std::to_string(size) + " bytes, at most " + std::to_string(max_size);
    ::_close(fd);
    return false;
  }
  fd_ = fd;
  modified_ = static_cast<std::int64_t>(st.st_mtime) * 1000000000;
  return true;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::_close(fd_);
}

bool InputFile::read_at(std::uint64_t offset, void* dst, std::size_t n) const {
  if (::_lseeki64(fd_, static_cast<__int64>(offset), SEEK_SET) < 0) return false;
  auto* out = static_cast<unsigned char*>(dst);
  while (n > 0) {
    // _read takes an unsigned int count.
    const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
    const int got = ::_read(fd_, out, chunk);
    if (got <= 0) return false;  // an error, or the file ended early (it shrank)
    out += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

bool FileBlock::allocate(std::size_t size) {
  release();
  data_ = static_cast<unsigned char*>(::operator new(size == 0 ? 1 : size, std::nothrow));
  return data_ != nullptr;
}

void FileBlock::release() {
  ::operator delete(data_);
  data_ = nullptr;
  mapped_ = 0;
}

#endif  // _WIN32
