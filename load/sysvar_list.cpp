#include "load/sysvar_list.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {
std::vector<SysVarEntry> g_list;
std::string g_path_override;

// Lines are read 127 characters at a time; a longer line goes on as the
// next entry.
constexpr int kLineBuffer = 128;

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

// One line of at most size - 1 characters, read as text mode reads it on
// Windows: a "\r\n" line end becomes "\n", so a list reads the same on every
// platform whichever line ends it was saved with.
char* read_text_line(char* line, int size, std::FILE* f) {
  if (std::fgets(line, size, f) == nullptr) return nullptr;
  const std::size_t n = std::strlen(line);
  if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') {
    line[n - 2] = '\n';
    line[n - 1] = '\0';
  } else if (n >= 1 && line[n - 1] == '\r') {  // the line end split by the size limit
    const int next = std::fgetc(f);
    if (next == '\n') line[n - 1] = '\n';
    else if (next != EOF) std::ungetc(next, f);
  }
  return line;
}

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

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

const std::vector<SysVarEntry>& sysvar_list() { return g_list; }

void set_sysvar_list_path(const char* path) { g_path_override = path ? path : ""; }

const char* sysvar_list_path() {
  if (!g_path_override.empty()) return g_path_override.c_str();
  if (std::FILE* f = std::fopen(KTTRV_SYSVAR_LIST_INSTALLED, "rb")) {
    std::fclose(f);
    return KTTRV_SYSVAR_LIST_INSTALLED;
  }
  return KTTRV_SYSVAR_LIST_BUILD;
}

void read_sysvar_list(const char* path) {
  g_list.clear();
  if (path == nullptr) return;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return;

  char line[kLineBuffer];
  if (read_text_line(line, sizeof line, file.get()) == nullptr) return;
  const int16_t count = low16(leading_integer(line));
  // At most 32767 entries of 33 bytes; the file's end shortens the list.
  for (int16_t i = 0; i < count; ++i) {
    if (read_text_line(line, sizeof line, file.get()) == nullptr) break;
    g_list.push_back(parse_entry(line));
  }
}
