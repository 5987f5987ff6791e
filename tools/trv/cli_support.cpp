#include "tools/trv/cli_support.h"

#include "host/zirida_host.h"
#include "tools/trv/save_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif


namespace trv {

void add_load_options(CLI::App& command, int& mode, std::string& sysvar_list) {
  command.add_option("--mode", mode, "Load mode (-1 also reads the system variables)");
  command.add_option("--sysvar-list", sysvar_list, "System-variable list file to use");
}


void add_encoding_option(CLI::App& command, std::string& encoding) {
  command.add_option("--encoding", encoding,
                     "How the drawing's text bytes are read: latin1 (the default), utf-8 or any name iconv knows")
      ->default_str("latin1");
}

std::unique_ptr<kttrv::view::TextEncoding> open_encoding(const std::string& name) {
  std::string problem;
  auto encoding = kttrv::view::TextEncoding::open(name.empty() ? "latin1" : name, problem);
  if (!encoding) throw CLI::ValidationError("--encoding", problem);
  return encoding;
}

namespace {
int g_standard_input_error = 0;  // errno of the failed read
}  // namespace

const std::vector<unsigned char>* standard_input() {
  static std::vector<unsigned char> bytes;
  static int state = 0;  // 0: not read yet; 1: read; -1: could not be read
  if (state == 0) {
    state = read_standard_input(bytes) ? 1 : -1;
    if (state < 0) g_standard_input_error = errno;
  }
  return state > 0 ? &bytes : nullptr;
}

std::string standard_input_failure() {
  return "cannot read standard input (" + std::string(std::strerror(g_standard_input_error)) + ")";
}

namespace {
Verbosity g_verbosity = Verbosity::normal;
}  // namespace

Verbosity current_verbosity() { return g_verbosity; }

void set_verbosity(Verbosity verbosity) { g_verbosity = verbosity; }

std::vector<std::string> damage_lines(const kttrv::LoadResult& result) {
  std::vector<std::string> lines;
  std::string last_section;  // of the last damage
  for (const kttrv::Diagnostic& d : result.diagnostics) {
    if (d.severity == kttrv::Severity::note) continue;
    // A block's entity stream reports its cut record, then the block section
    // reports the stream: one stop, one line.
    if (d.section == "block definitions" && d.subject.rfind("entity stream", 0) == 0 && last_section == "entities") {
      lines.back() = d.section + ": " + d.subject + ": " + lines.back().substr(std::string("entities: ").size());
    } else {
      lines.push_back(d.text);
    }
    last_section = d.section;
  }
  return lines;
}

void print_damage(const std::string& path, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) warn(path, line);
}

void warn(const std::string& path, const std::string& line) {
  if (g_verbosity == Verbosity::quiet) return;
  write_line(stderr, "trv: warning: " + path + ": " + line);
}

bool write_line(std::FILE* stream, std::string line) {
  line += '\n';
  // What the stream holds goes first, then the line in one call: processes
  // that share a pipe or a file (batch workers, trv runs side by side) then
  // never split each other's lines.
  if (std::fflush(stream) != 0) return false;
  const int fd = fileno(stream);
  std::size_t done = 0;
  while (done < line.size()) {
#if defined(_WIN32)
    const int n = _write(fd, line.data() + done, static_cast<unsigned>(line.size() - done));
#else
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
#endif
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void note_leftovers(const std::string& where, std::size_t removed) {
  if (removed == 0 || g_verbosity == Verbosity::quiet) return;
  std::fprintf(stderr, "trv: %s: removed %zu %s\n", where.c_str(), removed,
               removed == 1 ? "file that an interrupted save left" : "files that interrupted saves left");
}

void use_binary_output() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

bool stderr_is_terminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

void ProgressLine::show(std::size_t done, const std::string& detail) const {
  if (!shown_) return;
  std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", done, total_, detail.c_str());
  std::fflush(stderr);
}

void ProgressLine::clear() const {
  if (shown_) std::fputs("\r\033[K", stderr);
}

void error(const std::string& message) { write_line(stderr, "trv: " + message); }

std::unique_ptr<DrawingFile> read_input(const std::string& path) {
  auto file = std::make_unique<DrawingFile>();
  std::string problem;
  if (read_drawing_file(path.c_str(), *file, problem)) return file;
  error(path + ": " + problem);
  return nullptr;
}

bool read_sysvar_option(const std::string& path, std::optional<SysVarList>& list) {
  if (path.empty()) return true;
  std::string problem;
  list.emplace();
  if (!read_sysvar_list_file(path.c_str(), *list, problem)) {
    error(path + ": " + problem + " (the system-variable list)");
    return false;
  }
  return true;
}

std::string load_failure(const std::string& path, const kttrv::LoadResult& result) {
  return path + ": " + result.failure;
}

kttrv::LoadResult load_drawing(const std::string& path, KT_Drawing& drawing, const LoadRequest& request) {
  if (path == "-") {
    const std::vector<unsigned char>* bytes = standard_input();
    if (bytes == nullptr) {
      kttrv::LoadResult failed;
      failed.failure = standard_input_failure();
      if (!request.quiet_error) error(load_failure(path, failed));
      return failed;
    }
    return load_drawing(path, kttrv::LoadSource::bytes(*bytes), drawing, request);
  }
  return load_drawing(path, kttrv::LoadSource::file(path), drawing, request);
}

kttrv::LoadResult load_drawing(const std::string& path, const kttrv::LoadSource& source, KT_Drawing& drawing,
                               const LoadRequest& request) {
  kttrv::LoadOptions options;
  options.mode = request.mode;
  options.sysvar_list = request.sysvar_list;
  options.count_records = request.count_records;
  options.note_losses = request.note_losses;
  // What the file holds beyond the kernel's calls is kept with the drawing.
  if (request.observer != nullptr) options.observer = request.observer;
  else if (request.carry) options.observer = zirida_carry(drawing);
  // Notes are shown as the load makes them, between the lines it traces.
  if (g_verbosity == Verbosity::verbose)
    options.on_diagnostic = [](const kttrv::Diagnostic& d, void*) {
      if (d.severity == kttrv::Severity::note) write_line(stderr, "trv: note: " + d.text);
    };
  kttrv::LoadResult result = kttrv::load_drawing(source, drawing, options);
  if (!result.loaded && !request.quiet_error) error(load_failure(path, result));
  if (result.loaded) print_damage(path, damage_lines(result));
  return result;
}

}  // namespace trv
