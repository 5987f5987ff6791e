#include "save/stream_destination.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kttrv::saving {

namespace {

std::string because(const char* what, int error) { return std::string(what) + " (" + std::strerror(error) + ")"; }

}  // namespace

#if defined(_WIN32)

bool is_stream_destination(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status s = std::filesystem::status(path, ec);
  return !ec && std::filesystem::exists(s) && !std::filesystem::is_regular_file(s) &&
         !std::filesystem::is_directory(s);
}

bool write_stream_destination(const std::filesystem::path& path, std::span<const unsigned char> bytes, int,
                              std::string& problem) {
  std::FILE* f = ::_wfopen(path.c_str(), L"wb");
  if (f == nullptr) {
    problem = because("cannot open it", errno != 0 ? errno : EIO);
    return false;
  }
  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
  const int error = errno != 0 ? errno : EIO;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    problem = because("cannot write it", error);
    return false;
  }
  return true;
}

#else

bool is_stream_destination(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool write_stream_destination(const std::filesystem::path& path, std::span<const unsigned char> bytes, int wait_ms,
                              std::string& problem) {
  // Without O_NONBLOCK, opening a FIFO that nobody reads waits for ever;
  // with it, the open fails (ENXIO) until a reader comes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  int fd;
  for (;;) {
    fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 || (errno != ENXIO && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      char waited[32];
      std::snprintf(waited, sizeof waited, "%g", wait_ms / 1000.0);
      problem = std::string("nothing reads it (a FIFO without a reader after ") + waited + " seconds)";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (fd < 0) {
    problem = because("cannot open it", errno);
    return false;
  }
  // The writes wait for the reader as usual.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    problem = because("cannot write it", errno);
    ::close(fd);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      problem = because("cannot write it", n < 0 ? errno : EIO);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 && errno != EINTR) {
    problem = because("cannot write it", errno);
    return false;
  }
  return true;
}

#endif

}  // namespace kttrv::saving
