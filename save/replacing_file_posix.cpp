// ReplacingFile and the removal of leftovers on POSIX systems. Everything in
// the destination's folder goes through one descriptor of that folder, so a
// folder renamed or replaced during the save does not move the names.
#if !defined(_WIN32)

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "save/replacing_file.h"

namespace kttrv::saving {

namespace fs = std::filesystem;

namespace {

constexpr std::time_t kOlderUnchanged = 3600;  // seconds

std::string because(const char* what, int error) { return std::string(what) + " (" + std::strerror(error) + ")"; }

int open_folder(const fs::path& folder) {
  return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// fd is still the file `name` in folder (no one removed or replaced it).
bool still_named(int fd, int folder, const std::string& name) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// The permissions a new file gets: 0666 less the process's umask, read
// where Linux shows it. Elsewhere umask() is set and set back: a file that
// another thread creates just then gets no more than owner access.
mode_t new_file_mode() {
  mode_t mask = 0;
  bool found = false;
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned value = 0;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) found = std::sscanf(line, "Umask: %o", &value) == 1;
    std::fclose(status);
    mask = static_cast<mode_t>(value);
  }
  if (!found) {
    mask = ::umask(077);
    ::umask(mask);
  }
  return 0666 & ~mask;
}

// The removal itself: a file in folder whose name is of a save and that no
// process holds, checked under the hold this process then takes.
std::size_t remove_in(int folder, const std::string* destination_name) {
  const int listing = ::dup(folder);
  if (listing < 0) return 0;
  DIR* dir = ::fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return 0;
  }
  std::vector<std::pair<std::string, Leftover>> names;
  while (const dirent* e = ::readdir(dir)) {
    const Leftover kind = leftover_kind(e->d_name, destination_name);
    if (kind != Leftover::none) names.emplace_back(e->d_name, kind);
  }
  ::closedir(dir);
  std::size_t removed = 0;
  const std::time_t now = std::time(nullptr);
  for (const auto& [name, kind] : names) {
    // O_NONBLOCK: a FIFO of that name does not stop the save. A file this
    // process may not read is opened for writing (nothing is written).
    int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == EACCES)
      fd = ::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) continue;
    struct stat st;
    const bool abandoned = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                           (kind == Leftover::partial || now - st.st_mtime >= kOlderUnchanged) &&
                           ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (abandoned && still_named(fd, folder, name) && ::unlinkat(folder, name.c_str(), 0) == 0) ++removed;
    ::close(fd);
  }
  return removed;
}

}  // namespace

std::size_t remove_leftovers(const fs::path& folder, const std::string* destination_name) {
  const int fd = open_folder(folder);
  if (fd < 0) return 0;
  const std::size_t removed = remove_in(fd, destination_name);
  ::close(fd);
  return removed;
}

ReplacingFile::~ReplacingFile() { abandon(); }

void ReplacingFile::abandon() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!name_.empty() && folder_fd_ >= 0) ::unlinkat(folder_fd_, name_.c_str(), 0);
  name_.clear();
  if (hold_fd_ >= 0) ::close(hold_fd_);
  hold_fd_ = -1;
  if (folder_fd_ >= 0) ::close(folder_fd_);
  folder_fd_ = -1;
}

bool ReplacingFile::inspect(const fs::path& given, Found& found, std::string& problem) {
  std::vector<fs::path> links;
  if (!follow_links(given, target_, links, problem)) return false;
  // As the system itself refuses to follow it: a link in a folder everyone
  // may write to and whose sticky bit is set, made by someone who owns
  // neither the folder nor this process (a link planted in /tmp).
  for (const fs::path& link : links) {
    struct stat l, folder;
    const fs::path parent = link.parent_path().empty() ? fs::path(".") : link.parent_path();
    if (::lstat(link.c_str(), &l) == 0 && ::stat(parent.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
        (folder.st_mode & S_IWOTH) && l.st_uid != ::geteuid() && l.st_uid != folder.st_uid) {
      problem = "it is a symbolic link that another user made in a shared folder";
      return false;
    }
  }
  folder_ = target_.parent_path();
  target_name_ = name_of(target_.filename());
  folder_fd_ = open_folder(folder_);
  if (folder_fd_ < 0) {
    problem = because("cannot open its folder", errno);
    return false;
  }
  struct stat st;
  if (target_name_.empty() || target_name_ == "." || target_name_ == "..") {
    found.exists = found.directory = true;
    return true;
  }
  if (::fstatat(folder_fd_, target_name_.c_str(), &st, 0) != 0) {
    if (errno == ENOENT) return true;
    problem = because("cannot look at it", errno);
    return false;
  }
  found.exists = true;
  found.directory = S_ISDIR(st.st_mode);
  found.regular = S_ISREG(st.st_mode);
  found.other_links = found.regular ? static_cast<long>(st.st_nlink) - 1 : 0;
  if (!found.regular) return true;
  // A file its owner made read-only is not replaced behind its back.
  if (::faccessat(folder_fd_, target_name_.c_str(), W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM)) {
    problem = "it is read-only";
    return false;
  }
  replaces_ = true;
  old_mode_ = static_cast<unsigned>(st.st_mode & 0777);
  old_uid_ = static_cast<unsigned>(st.st_uid);
  old_gid_ = static_cast<unsigned>(st.st_gid);
  return true;
}

bool ReplacingFile::open(bool clean, std::string& problem) {
  if (clean) removed_ = remove_in(folder_fd_, &target_name_);
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    name_ = partial_name(target_name_);
    // Owner only until it is given the old file's permissions; O_EXCL and
    // O_NOFOLLOW: a file or link already there is never opened.
    fd = ::openat(folder_fd_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
      const int error = errno;
      name_.clear();
      if (error == EEXIST) continue;
      problem = because("cannot create a file in its folder", error);
      return false;
    }
    // Another save's removal may have taken it between the two calls: then
    // it is that save's to remove, and this one makes another.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    if (!held || !still_named(fd, folder_fd_, name_)) {
      ::close(fd);
      fd = -1;
      name_.clear();
    }
  }
  if (fd < 0) {
    problem = because("cannot create a file in its folder", EEXIST);
    return false;
  }
  hold_fd_ = fd;
  if (replaces_) {
    // The old file's owner and group where this process may give them
    // (chown first: it clears set-id bits). A group it could not give gets
    // no more than the old file grants everyone.
    if (::fchown(fd, old_uid_, old_gid_) != 0) {
      const int group_only = ::fchown(fd, static_cast<uid_t>(-1), old_gid_);
      (void)group_only;  // else the process's own group stays
    }
    struct stat st;
    mode_t wanted = old_mode_;
    if (::fstat(fd, &st) == 0 && st.st_gid != old_gid_) wanted = (wanted & ~070) | (wanted & ((wanted & 07) << 3));
    const int changed = ::fchmod(fd, wanted);
    if (::fstat(fd, &st) != 0 || (st.st_mode & 0777 & ~wanted) != 0) {
      problem = because("cannot give the new file the old one's permissions", changed != 0 ? errno : EPERM);
      abandon();
      return false;
    }
  }
  const int writing = ::dup(fd);  // closing the stream keeps the hold
  if (writing < 0 || (file_ = ::fdopen(writing, "wb")) == nullptr) {
    problem = because("cannot create a file in its folder", errno);
    if (writing >= 0) ::close(writing);
    abandon();
    return false;
  }
  return true;
}

bool ReplacingFile::finish(bool sync, std::string& problem) {
  errno = 0;
  int error = std::fflush(file_) != 0 ? (errno != 0 ? errno : EIO) : 0;
  if (error == 0 && sync && ::fsync(::fileno(file_)) != 0 && errno != EINVAL) error = errno;
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (error == 0 && !closed) error = errno != 0 ? errno : EIO;
  if (error != 0) {
    problem = because("cannot write it", error);
    abandon();
    return false;
  }
#if defined(__linux__)
  // The disk writes it while the next files are made; sync_data() then
  // mostly finds it written.
  if (!sync) (void)::sync_file_range(hold_fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  return true;
}

void ReplacingFile::write_out() {
#if defined(__linux__)
  if (hold_fd_ >= 0)
    (void)::sync_file_range(hold_fd_, 0, 0,
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#endif
}

bool ReplacingFile::sync_file_system() {
#if defined(__linux__)
  return hold_fd_ >= 0 && ::syncfs(hold_fd_) == 0;
#else
  return false;
#endif
}

bool ReplacingFile::sync_data(std::string& problem) {
  if (::fsync(hold_fd_) == 0 || errno == EINVAL) return true;  // EINVAL: nothing there to sync
  problem = because("cannot write it", errno);
  abandon();
  return false;
}

bool ReplacingFile::rename_over(std::string& problem) {
  // A new file: owner only while it was written, the usual permissions once whole.
  if (!replaces_) (void)::fchmod(hold_fd_, new_file_mode());
  if (::renameat(folder_fd_, name_.c_str(), folder_fd_, target_name_.c_str()) != 0) {
    problem = because("cannot replace it", errno);
    abandon();
    return false;
  }
  name_.clear();
  return true;
}

void ReplacingFile::sync_folder() {
  if (folder_fd_ >= 0) (void)::fsync(folder_fd_);
}

std::pair<unsigned long long, unsigned long long> ReplacingFile::folder_id() const {
  struct stat st;
  if (folder_fd_ < 0 || ::fstat(folder_fd_, &st) != 0) return {0, 0};
  return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

bool ReplacingFile::commit(std::string& problem) {
  if (!finish(true, problem) || !rename_over(problem)) return false;
  sync_folder();  // the new name on the disk too, where the system allows
  abandon();
  return true;
}

}  // namespace kttrv::saving

#endif
