#include "tables/sysvar_list.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "format/input_file.h"

namespace {

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
bool next_line(std::string_view text, std::size_t& at, char (&line)[kLineBuffer]) {
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

}  // namespace

SysVarList parse_sysvar_list(std::string_view text) {
  SysVarList list;
  char line[kLineBuffer];
  std::size_t at = 0;
  if (!next_line(text, at, line)) return list;
  const int16_t count = low16(leading_integer(line));
  // At most 32767 entries of 33 bytes; the file's end shortens the list.
  for (int16_t i = 0; i < count; ++i) {
    if (!next_line(text, at, line)) break;
    list.push_back(parse_entry(line));
  }
  return list;
}

bool read_sysvar_list_file(const char* path, SysVarList& list, std::string& problem, std::int64_t* modified,
                           std::uint64_t* size) {
  InputFile file;
  if (!file.open(path, UINT64_MAX, problem)) return false;
  if (modified != nullptr) *modified = file.modified();
  if (size != nullptr) *size = file.size();
  std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kUsedBytes)), '\0');
  if (!file.read_at(0, text.data(), text.size())) {
    problem = "cannot be read";
    return false;
  }
  list = parse_sysvar_list(text);
  return true;
}
