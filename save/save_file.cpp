#include "save/save_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

#include "save/drawing_writer.h"

namespace fs = std::filesystem;

namespace {

// Names are UTF-8 on every platform; Windows opens them through the wide API.
fs::path utf8_path(const char* path) { return fs::path(std::u8string(reinterpret_cast<const char8_t*>(path))); }

std::FILE* open_path(const fs::path& p, const char* mode) {
#if defined(_WIN32)
  const std::wstring wide_mode(mode, mode + std::strlen(mode));
  return ::_wfopen(p.c_str(), wide_mode.c_str());
#else
  return std::fopen(p.c_str(), mode);
#endif
}

std::string because(const char* what, int error) { return std::string(what) + " (" + std::strerror(error) + ")"; }

int last_error() { return errno != 0 ? errno : EIO; }

// A symbolic link is kept: the file it leads to is the one replaced.
fs::path destination_of(const fs::path& path) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    fs::path target = fs::weakly_canonical(path, ec);
    if (!ec) return target;
  }
  return path;
}

// A file of a new name beside `target`; an existing file is never opened.
std::FILE* create_beside(const fs::path& target, fs::path& temp, int& error) {
  static std::atomic<unsigned> serial = 0;  // saves may run side by side
  const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%llx-%u.tmp", stamp & 0xFFFFFFFFFFull, serial.fetch_add(1) + 1);
    temp = target;
    temp += suffix;
    errno = 0;
    if (std::FILE* f = open_path(temp, "wbx")) return f;
    if (errno != EEXIST) {
      error = last_error();
      return nullptr;
    }
  }
  error = EEXIST;
  return nullptr;
}

// The whole drawing into f, handed to the system and, where it can be,
// to the disk. 0, or the errno of the first failure.
int write_file(std::FILE* f, const KT_Drawing& drawing, const SaveOptions& options, SaveReport& report) {
  TorvWriter w;
  w.file = f;
  w.carried = options.carried;
  write_drawing(w, drawing, report);
  writer_flush(w);
  if (!w.ok) return w.error != 0 ? w.error : EIO;
  errno = 0;
  if (std::fflush(f) != 0) return last_error();
#if defined(__unix__) || defined(__APPLE__)
  if (fsync(fileno(f)) != 0 && errno != EINVAL) return last_error();  // EINVAL: a pipe or device
#endif
  return 0;
}

// Writes, closes; the reason of a failure, or empty.
std::string write_and_close(std::FILE* f, const KT_Drawing& drawing, const SaveOptions& options, SaveReport& report) {
  const int error = write_file(f, drawing, options, report);
  errno = 0;
  const bool closed = std::fclose(f) == 0;
  if (error != 0) return because("cannot write it", error);
  if (!closed) return because("cannot write it", last_error());
  return {};
}

bool fail(SaveReport& report, std::string reason) {
  report.error = std::move(reason);
  return false;
}

// Devices and pipes cannot be replaced: they are written as they are. What
// the writer cannot store is known only once it wrote, so without
// allow_loss the drawing is written once to nowhere first.
bool save_in_place(const KT_Drawing& drawing, const fs::path& target, const SaveOptions& options, SaveReport& report) {
  if (!options.allow_loss) {
    SaveReport dry = report;
    TorvWriter nowhere;
    nowhere.discard = true;
    nowhere.carried = options.carried;
    write_drawing(nowhere, drawing, dry);
    if (!dry.lossless()) {
      report = dry;
      return fail(report, "it would lose " + report.loss_summary());
    }
  }
  errno = 0;
  std::FILE* f = open_path(target, "wb");
  if (f == nullptr) return fail(report, because("cannot open it", last_error()));
  std::string reason = write_and_close(f, drawing, options, report);
  return reason.empty() || fail(report, std::move(reason));
}

}  // namespace

bool save_drawing_file(const KT_Drawing& drawing, const char* path, const SaveOptions& options, SaveReport& report) {
  if (options.file_losses != nullptr) report.losses.add(*options.file_losses);
  if (path == nullptr || *path == '\0') return fail(report, "no file name");
  // What the loads dropped is known before a byte is written.
  if (!options.allow_loss && !report.lossless()) return fail(report, "it would lose " + report.loss_summary());
  const fs::path target = destination_of(utf8_path(path));
  std::error_code ec;
  const fs::file_status old = fs::status(target, ec);
  if (fs::is_directory(old)) return fail(report, "it is a directory");
  if (fs::exists(old) && !fs::is_regular_file(old)) return save_in_place(drawing, target, options, report);

  fs::path temp;
  int error = 0;
  std::FILE* f = create_beside(target, temp, error);
  if (f == nullptr) return fail(report, because("cannot create a file in its directory", error));
  std::string reason = write_and_close(f, drawing, options, report);
  if (reason.empty() && !options.allow_loss && !report.lossless())
    reason = "it would lose " + report.loss_summary();
  if (reason.empty() && fs::exists(old)) fs::permissions(temp, old.permissions(), ec);  // the old file's
  if (reason.empty()) {
    fs::rename(temp, target, ec);
    if (ec) reason = "cannot replace it (" + ec.message() + ")";
  }
  if (reason.empty()) return true;
  fs::remove(temp, ec);
  return fail(report, std::move(reason));
}

namespace kttrv {

SaveResult save_drawing(const KT_Drawing& drawing, const std::string& path, const SaveOptions& options) {
  SaveResult result;
  result.saved = save_drawing_file(drawing, path.c_str(), options, result);
  return result;
}

SaveResult save_drawing(const KT_Drawing& drawing, std::vector<unsigned char>& out, const SaveOptions& options) {
  SaveResult result;
  out.clear();
  if (options.file_losses != nullptr) result.losses.add(*options.file_losses);
  if (!options.allow_loss && !result.lossless()) {
    fail(result, "it would lose " + result.loss_summary());
    return result;
  }
  TorvWriter w;
  w.memory = &out;
  w.carried = options.carried;
  write_drawing(w, drawing, result);
  writer_flush(w);
  if (!w.ok) {
    out.clear();
    fail(result, "the drawing does not fit in a file of 32-bit positions");
  } else if (!options.allow_loss && !result.lossless()) {
    out.clear();
    fail(result, "it would lose " + result.loss_summary());
  } else {
    result.saved = true;
  }
  return result;
}

SaveResult save_drawing(const KT_Drawing& drawing, std::ostream& out, const SaveOptions& options) {
  std::vector<unsigned char> bytes;
  SaveResult result = save_drawing(drawing, bytes, options);
  if (!result.saved) return result;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) {
    result.saved = false;
    fail(result, "cannot write it");
  }
  return result;
}

}  // namespace kttrv
