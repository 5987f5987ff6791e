#include "save/save_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

#include "save/commit_group.h"
#include "save/drawing_writer.h"
#include "save/replacing_file.h"
#include "save/stream_destination.h"

namespace fs = std::filesystem;

namespace {

// Names are UTF-8 on every platform; Windows opens them through the wide API.
fs::path utf8_path(const char* path) { return fs::path(std::u8string(reinterpret_cast<const char8_t*>(path))); }

std::string because(const char* what, int error) { return std::string(what) + " (" + std::strerror(error) + ")"; }

int last_error() { return errno != 0 ? errno : EIO; }

// The whole drawing into f, handed to the system. 0, or the errno of the
// first failure.
int write_file(std::FILE* f, const KT_Drawing& drawing, const SaveOptions& options, SaveReport& report) {
  TorvWriter w;
  w.file = f;
  w.carried = options.carried;
  write_drawing(w, drawing, report);
  writer_flush(w);
  if (!w.ok) return w.error != 0 ? w.error : EIO;
  errno = 0;
  if (std::fflush(f) != 0) return last_error();
  return 0;
}

bool fail(SaveReport& report, std::string reason) {
  report.error = std::move(reason);
  return false;
}

// Devices and pipes cannot be replaced, nor seeked back in: the whole file
// is made in memory (nothing goes out when a loss is refused) and written
// once (save/stream_destination.h).
bool save_in_place(const KT_Drawing& drawing, const fs::path& target, const SaveOptions& options, SaveReport& report) {
  std::vector<unsigned char> bytes;
  const kttrv::SaveResult result = kttrv::save_drawing(drawing, bytes, options);
  report = static_cast<const SaveReport&>(result);  // the counts and every loss, the file's included
  if (!result.saved) return false;
  std::string reason;
  return kttrv::saving::write_stream_destination(target, bytes, kttrv::saving::kReaderWaitMilliseconds, reason) ||
         fail(report, std::move(reason));
}

}  // namespace

bool save_drawing_file(const KT_Drawing& drawing, const char* path, const SaveOptions& options, SaveReport& report) {
  if (options.file_losses != nullptr) report.losses.add(*options.file_losses);
  if (path == nullptr || *path == '\0') return fail(report, "no file name");
  // What the loads dropped is known before a byte is written.
  if (!options.allow_loss && !report.lossless()) return fail(report, "it would lose " + report.loss_summary());
  // A FIFO, a device, /dev/stdout as a pipe: links followed as the system
  // follows them (a pipe's name under /proc is no file to replace).
  if (kttrv::saving::is_stream_destination(utf8_path(path)))
    return save_in_place(drawing, utf8_path(path), options, report);
  auto out = std::make_unique<kttrv::saving::ReplacingFile>();
  kttrv::saving::Found found;
  std::string reason;
  if (!out->inspect(utf8_path(path), found, reason)) return fail(report, std::move(reason));
  if (found.directory) return fail(report, "it is a directory");
  if (found.exists && !found.regular) return save_in_place(drawing, out->target(), options, report);

  const bool opened = out->open(options.remove_leftovers, reason);
  report.leftovers_removed = static_cast<long>(out->removed());
  if (!opened) return fail(report, std::move(reason));
  report.other_links = found.other_links;
  if (const int error = write_file(out->file(), drawing, options, report); error != 0)
    return fail(report, because("cannot write it", error));  // out removes its file
  if (!options.allow_loss && !report.lossless()) return fail(report, "it would lose " + report.loss_summary());
  if (options.group == nullptr) return out->commit(reason) || fail(report, std::move(reason));
  const long written = std::ftell(out->file());
  if (!out->finish(false, reason)) return fail(report, std::move(reason));
  options.group->add(std::move(out), options.group_tag, written > 0 ? static_cast<std::uintmax_t>(written) : 0);
  report.waiting = true;
  return true;
}

namespace kttrv {

std::size_t remove_save_leftovers(const std::string& path) {
  fs::path target;
  std::vector<fs::path> links;
  std::string problem;
  if (path.empty() || !saving::follow_links(utf8_path(path.c_str()), target, links, problem)) return 0;
  const std::string name = saving::name_of(target.filename());
  return name.empty() ? 0 : saving::remove_leftovers(target.parent_path(), &name);
}

std::size_t remove_save_leftovers_in(const std::string& folder) {
  return folder.empty() ? 0 : saving::remove_leftovers(utf8_path(folder.c_str()), nullptr);
}

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
