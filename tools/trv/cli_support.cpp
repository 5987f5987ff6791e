#include "tools/trv/cli_support.h"

#include <cstdint>

#include "kernel/afx.h"
#include "load/load_document.h"

namespace trv {

namespace {
bool g_verbose = false;
std::string g_last;

void on_diagnostic(const char* message, void*) {
  g_last = message;
  if (g_verbose) std::fprintf(stderr, "trv: %s\n", message);
}
}  // namespace

void install_diagnostics(bool verbose) {
  g_verbose = verbose;
  KtTrvSetDiagnosticSink(on_diagnostic, nullptr);
}

const std::string& last_diagnostic() { return g_last; }

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
  const bool ok = LoadTORVDocument(mode, cpath, target);
  if (!ok && !quiet_error) error(load_failure_reason(path));
  return ok;
}

std::string bytes_to_utf8(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p < 0x80) {
      out += static_cast<char>(*p);
    } else {
      out += static_cast<char>(0xC0 | (*p >> 6));
      out += static_cast<char>(0x80 | (*p & 0x3F));
    }
  }
  return out;
}

}  // namespace trv
