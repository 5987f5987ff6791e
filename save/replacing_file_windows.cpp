// ReplacingFile and the removal of leftovers on Windows. The save's file is
// opened sharing nothing: while it is written no other process can open or
// delete it, which is how a removal tells a live save from a leftover.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "save/replacing_file.h"

namespace kttrv::saving {

namespace fs = std::filesystem;

namespace {

std::string because(const char* what, DWORD error) {
  return std::string(what) + " (" + std::system_category().message(static_cast<int>(error)) + ")";
}

fs::path folder_or_here(const fs::path& folder) { return folder.empty() ? fs::path(".") : folder; }

}  // namespace

std::size_t remove_leftovers(const fs::path& folder, const std::string* destination_name) {
  std::error_code ec;
  std::vector<std::pair<fs::path, Leftover>> names;
  for (fs::directory_iterator it(folder_or_here(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const Leftover kind = leftover_kind(name_of(it->path().filename()), destination_name);
    if (kind != Leftover::none && it->is_regular_file(ec)) names.emplace_back(it->path(), kind);
  }
  std::size_t removed = 0;
  const auto now = fs::file_time_type::clock::now();
  for (const auto& [path, kind] : names) {
    if (kind == Leftover::older) {
      const auto changed = fs::last_write_time(path, ec);
      if (ec || now - changed < std::chrono::hours(1)) continue;
    }
    // Refused while a save holds it open.
    if (::DeleteFileW(path.c_str()) != 0) ++removed;
  }
  return removed;
}

ReplacingFile::~ReplacingFile() { abandon(); }

void ReplacingFile::abandon() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!name_.empty()) ::DeleteFileW((folder_or_here(folder_) / path_of(name_)).c_str());
  name_.clear();
}

bool ReplacingFile::inspect(const fs::path& given, Found& found, std::string& problem) {
  std::vector<fs::path> links;
  if (!follow_links(given, target_, links, problem)) return false;
  folder_ = target_.parent_path();
  target_name_ = name_of(target_.filename());
  std::error_code ec;
  const fs::file_status st = fs::status(target_, ec);
  if (!fs::exists(st)) return true;
  found.exists = true;
  found.directory = fs::is_directory(st);
  found.regular = fs::is_regular_file(st);
  if (!found.regular) return true;
  const auto links_of = fs::hard_link_count(target_, ec);
  found.other_links = ec ? 0 : static_cast<long>(links_of) - 1;
  const DWORD attributes = ::GetFileAttributesW(target_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    problem = "it is read-only";
    return false;
  }
  replaces_ = true;
  return true;
}

bool ReplacingFile::open(bool clean, std::string& problem) {
  if (clean) removed_ = kttrv::saving::remove_leftovers(folder_, &target_name_);
  const fs::path folder = folder_or_here(folder_);
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    name_ = partial_name(target_name_);
    // CREATE_NEW: a file already there is never opened; a link there is
    // not followed, since the name exists.
    handle = ::CreateFileW((folder / path_of(name_)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      name_.clear();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      problem = because("cannot create a file in its folder", error);
      return false;
    }
  }
  if (handle == INVALID_HANDLE_VALUE) {
    problem = because("cannot create a file in its folder", ERROR_FILE_EXISTS);
    return false;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    problem = because("cannot create a file in its folder", ERROR_TOO_MANY_OPEN_FILES);
    abandon();
    return false;
  }
  file_ = ::_fdopen(fd, "wb");
  if (file_ == nullptr) {
    ::_close(fd);
    problem = because("cannot create a file in its folder", ERROR_NOT_ENOUGH_MEMORY);
    abandon();
    return false;
  }
  return true;
}

// The stream stays open until the rename: the open handle, which shares
// nothing, is what keeps other saves' clean-up away from it.
bool ReplacingFile::finish(bool sync, std::string& problem) {
  errno = 0;
  if (std::fflush(file_) == 0 && (!sync || ::_commit(::_fileno(file_)) == 0)) return true;
  problem = std::string("cannot write it (") + std::strerror(errno != 0 ? errno : EIO) + ")";
  abandon();
  return false;
}

void ReplacingFile::write_out() {}

bool ReplacingFile::sync_file_system() { return false; }

bool ReplacingFile::sync_data(std::string& problem) {
  errno = 0;
  if (::_commit(::_fileno(file_)) == 0) return true;
  problem = std::string("cannot write it (") + std::strerror(errno != 0 ? errno : EIO) + ")";
  abandon();
  return false;
}

bool ReplacingFile::rename_over(std::string& problem) {
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  const int error = errno != 0 ? errno : EIO;
  file_ = nullptr;
  if (!closed) {
    problem = std::string("cannot write it (") + std::strerror(error) + ")";
    abandon();
    return false;
  }
  const fs::path temp = folder_or_here(folder_) / path_of(name_);
  if (::MoveFileExW(temp.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    problem = because("cannot replace it", ::GetLastError());
    abandon();
    return false;
  }
  name_.clear();
  return true;
}

// MOVEFILE_WRITE_THROUGH already waited for the name.
void ReplacingFile::sync_folder() {}

std::pair<unsigned long long, unsigned long long> ReplacingFile::folder_id() const { return {0, 0}; }

bool ReplacingFile::commit(std::string& problem) { return finish(true, problem) && rename_over(problem); }

}  // namespace kttrv::saving

#endif  // _WIN32
