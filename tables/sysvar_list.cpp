#include "tables/sysvar_list.h"

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
// there is none; values beyond long saturate, as strtol does.
long leading_integer(const char* text) { return std::strtol(text, nullptr, 10); }

// The low 16 / 8 bits of a number, as the list's signed fields keep them.
int16_t low16(long v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned long>(v) & 0xFFFFu)); }
int8_t low8(long v) { return static_cast<int8_t>(static_cast<uint8_t>(static_cast<unsigned long>(v) & 0xFFu)); }

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
  if (std::FILE* f = std::fopen(KTTRV_SYSVAR_LIST_INSTALLED, "r")) {
    std::fclose(f);
    return KTTRV_SYSVAR_LIST_INSTALLED;
  }
  return KTTRV_SYSVAR_LIST_BUILD;
}

void read_sysvar_list(const char* path) {
  g_list.clear();
  if (path == nullptr) return;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rt"));
  if (!file) return;

  char line[kLineBuffer];
  if (std::fgets(line, sizeof line, file.get()) == nullptr) return;
  const int16_t count = low16(leading_integer(line));
  // At most 32767 entries of 33 bytes; the file's end shortens the list.
  for (int16_t i = 0; i < count; ++i) {
    if (std::fgets(line, sizeof line, file.get()) == nullptr) break;
    g_list.push_back(parse_entry(line));
  }
}
