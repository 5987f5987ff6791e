#include "tools/trv/cli_support.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

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

void use_binary_output() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void error(const std::string& message) { std::fprintf(stderr, "trv: %s\n", message.c_str()); }

std::optional<std::vector<unsigned char>> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error(path + ": " + std::strerror(errno));
    return std::nullopt;
  }
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::string load_failure_reason(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return path + ": " + std::strerror(errno);
  std::fclose(f);
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
