#include "tables/sysvar_list.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "format/diagnostics.h"
#include "format/input_file.h"
#include "format/install_location.h"

namespace {
std::vector<SysVarEntry> g_list;
std::string g_path_override;

// The file the list came from, as it was when read; empty path: none.
struct ListSource {
  std::string path;
  std::int64_t modified = 0;
  std::uint64_t size = 0;
};
ListSource g_source;

// Lines are read 127 characters at a time; a longer line goes on as the
// next entry.
constexpr int kLineBuffer = 128;
// The count line and at most 32767 entries: bytes beyond are never used.
constexpr std::size_t kUsedBytes = std::size_t{32768} * (kLineBuffer - 1);

// The integer at the start of text (blanks skipped, optional sign), 0 when
// there is none; values beyond 32 bits saturate, as strtol with a 32-bit long
// does, on every platform.
int32_t leading_integer(const char* text) {
  const long long v = std::strtoll(text, nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// The low 16 / 8 bits of a number, as the list's signed fields keep them.
int16_t low16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu)); }
int8_t low8(int32_t v) { return static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint32_t>(v) & 0xFFu)); }

// One entry line: "name type" cut at the first blank, or a bare name (line
// end included) of type 1. Names are cut to their 31-character field.
SysVarEntry parse_entry(char* line) {
  SysVarEntry e{};
  e.type = 1;
  if (char* blank = std::strchr(line, ' ')) {
    *blank = '\0';
    e.type = low8(leading_integer(blank + 1));
  }
  const std::size_t n = std::min(std::strlen(line), sizeof e.name - 1);
  std::memcpy(e.name, line, n);  // e.name was zeroed: the terminator is there
  return e;
}

// The next line of text from at, as a 128-byte line buffer takes it: up to
// and including its line end, at most 127 characters. False at the end.
bool next_line(const std::string& text, std::size_t& at, char (&line)[kLineBuffer]) {
  if (at >= text.size()) return false;
  std::size_t n = std::min(text.size() - at, std::size_t{kLineBuffer - 1});
  if (const void* end = std::memchr(text.data() + at, '\n', n))
    n = static_cast<std::size_t>(static_cast<const char*>(end) - (text.data() + at)) + 1;
  std::memcpy(line, text.data() + at, n);
  line[n] = '\0';
  at += n;
  // A "\r\n" line end reads as "\n", so a list reads the same whichever line
  // ends it was saved with (also when the 127-character limit splits them).
  if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') {
    line[n - 2] = '\n';
    line[n - 1] = '\0';
  } else if (line[n - 1] == '\r' && at < text.size() && text[at] == '\n') {
    line[n - 1] = '\n';
    ++at;
  }
  return true;
}

void parse_list(const std::string& text) {
  g_list.clear();
  char line[kLineBuffer];
  std::size_t at = 0;
  if (!next_line(text, at, line)) return;
  const int16_t count = low16(leading_integer(line));
  // At most 32767 entries of 33 bytes; the file's end shortens the list.
  for (int16_t i = 0; i < count; ++i) {
    if (!next_line(text, at, line)) break;
    g_list.push_back(parse_entry(line));
  }
}

}  // namespace

const std::vector<SysVarEntry>& sysvar_list() { return g_list; }

void set_sysvar_list_path(const char* path) { g_path_override = path ? path : ""; }

const char* sysvar_list_path() {
  if (!g_path_override.empty()) return g_path_override.c_str();
  // Found once: the binary holding this code does not move while it runs.
  static const std::string installed = installed_data_file(KTTRV_SYSVAR_LIST_NAME);
  if (!installed.empty()) return installed.c_str();
  return KTTRV_SYSVAR_LIST_BUILD;
}

namespace {

// Opens path and, unless the list already came from this file as it is now
// (cached), reads the list from it. False with problem set.
bool load_list(const char* path, bool cached, std::string& problem) {
  InputFile file;
  if (!file.open(path, UINT64_MAX, problem)) return false;
  const ListSource now{path, file.modified(), file.size()};
  if (cached && g_source.path == now.path && g_source.modified == now.modified && g_source.size == now.size)
    return true;
  std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kUsedBytes)), '\0');
  if (!file.read_at(0, text.data(), text.size())) {
    problem = "cannot be read";
    return false;
  }
  parse_list(text);
  g_source = now;
  return true;
}

}  // namespace

void read_sysvar_list(const char* path) {
  std::string problem;
  if (load_list(path, false, problem)) return;
  g_list.clear();
  g_source = {};
}

void use_sysvar_list(const char* path) {
  std::string problem;
  if (load_list(path, true, problem)) return;
  g_list.clear();
  g_source = {};
  report_diagnostic("system-variable list", 0, "%s %s; the load goes on without a list", path ? path : "",
                    problem.c_str());
}
