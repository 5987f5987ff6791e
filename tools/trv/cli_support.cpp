#include "tools/trv/cli_support.h"

#include <algorithm>
#include <cstdint>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "kernel/afx.h"
#include "load/load_document.h"

namespace trv {

namespace {
Verbosity g_verbosity = Verbosity::normal;
std::string g_last;
std::vector<std::string> g_damage;

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Notes say which value replaced one that could not be used; the section
// went on. Everything else the plug-in reports ended a section or the load.
bool is_note(const std::string& message) {
  const auto at = message.rfind(" at byte ");
  // A slot of -1 names no section; the system variables are looked for even
  // then, and their absence is no damage.
  if (at != std::string::npos && message.compare(at, std::string::npos, " at byte -1") == 0) return true;
  const std::string what = message.substr(0, at);
  return what.size() >= 5 && what.compare(what.size() - 5, 5, " used") == 0;
}

void on_diagnostic(const char* message, void*) {
  g_last = message;
  if (is_note(g_last)) {
    if (g_verbosity == Verbosity::verbose) std::fprintf(stderr, "trv: note: %s\n", message);
    return;
  }
  // A block's entity stream reports its cut record, then the block section
  // reports the stream: one stop, one line.
  if (starts_with(g_last, "block definitions: entity stream") && !g_damage.empty() && starts_with(g_damage.back(), "entities: ")) {
    // Up to "(block index N)": what follows is the stream's reason, which the entities line gives.
    const std::size_t index = g_last.find(" (block index");
    const std::size_t end = index == std::string::npos ? std::string::npos : g_last.find(')', index);
    g_damage.back() = g_last.substr(0, end == std::string::npos ? end : end + 1) + ": " + g_damage.back().substr(10);
    return;
  }
  g_damage.push_back(g_last);
}
}  // namespace

Verbosity current_verbosity() { return g_verbosity; }

void install_diagnostics(Verbosity verbosity) {
  g_verbosity = verbosity;
  KtTrvSetDiagnosticSink(on_diagnostic, nullptr);
  // trv saves through its own call, with the ledger of the load it made.
  set_losses_kept_for_exported_save(false);
}

const std::string& last_diagnostic() { return g_last; }

const std::vector<std::string>& load_damage() { return g_damage; }

void print_damage(const std::string& path) {
  for (const std::string& line : g_damage) warn(path, line);
}

void warn(const std::string& path, const std::string& line) {
  if (g_verbosity == Verbosity::quiet) return;
  std::fprintf(stderr, "trv: warning: %s: %s\n", path.c_str(), line.c_str());
}

void use_binary_output() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void error(const std::string& message) { std::fprintf(stderr, "trv: %s\n", message.c_str()); }

std::unique_ptr<DrawingFile> read_input(const std::string& path) {
  auto file = std::make_unique<DrawingFile>();
  std::string problem;
  if (read_drawing_file(path.c_str(), *file, problem)) return file;
  error(path + ": " + problem);
  return nullptr;
}

bool set_sysvar_list(const std::string& path) {
  if (path.empty()) return true;
  InputFile list;
  std::string problem;
  if (!list.open(path.c_str(), UINT64_MAX, problem)) {
    error(path + ": " + problem + " (the system-variable list)");
    return false;
  }
  KtTrvSetSysVarListPath(path.c_str());
  return true;
}

std::optional<std::vector<unsigned char>> read_file_head(const std::string& path, std::size_t n) {
  // Opened as every input is: a FIFO or a device cannot block here.
  InputFile file;
  std::string problem;
  if (!file.open(path.c_str(), UINT64_MAX, problem)) return std::nullopt;
  std::vector<unsigned char> head(static_cast<std::size_t>(std::min<std::uint64_t>(n, file.size())));
  if (!file.read_at(0, head.data(), head.size())) return std::nullopt;
  return head;
}

FileVersion file_version(const std::vector<unsigned char>& head) {
  FileVersion v;
  // The loader hands a file whose first byte is 'T' to the legacy loader.
  v.legacy = !head.empty() && head[0] == 'T';
  const std::size_t from = v.legacy ? 0 : 2;
  const std::size_t size = v.legacy ? 20 : 14;
  std::string text;
  for (std::size_t i = from; i < from + size && i < head.size() && head[i] != 0; ++i) text += static_cast<char>(head[i]);
  v.text = bytes_to_utf8(text.c_str());
  return v;
}

std::string load_failure_reason(const std::string& path) {
  // Opened as the load opens it: a FIFO or a device cannot block here.
  InputFile file;
  std::string problem;
  if (!file.open(path.c_str(), INT32_MAX, problem)) return path + ": " + problem;
  if (!last_diagnostic().empty()) return path + ": " + last_diagnostic();
  return path + ": not a drawing this version can load";
}

bool load_drawing(const std::string& path, int mode, KT_Drawing& drawing, bool quiet_error) {
  CString cpath(path.c_str());
  KT_Drawing* target = &drawing;
  g_current_drawing = &drawing;
  g_damage.clear();
  g_last.clear();
  const bool ok = LoadTORVDocument(mode, cpath, target);
  if (!ok && !quiet_error) error(load_failure_reason(path));
  if (ok) print_damage(path);
  return ok;
}

}  // namespace trv
