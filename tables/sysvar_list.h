// The system-variable list: the value type of every entry of the
// system-variable section, in file order, read from a text file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/tag_file.h"

struct SysVarEntry {
  char name[32];
  int8_t type;
};

using SysVarList = std::vector<SysVarEntry>;

// The list in text: a count line, then one "name type" line per entry.
SysVarList parse_sysvar_list(std::string_view text);

// The list in the file at path; false with problem set when the file cannot
// be opened or read. `modified` and `size` describe the file as read.
bool read_sysvar_list_file(const char* path, SysVarList& list, std::string& problem, std::int64_t* modified = nullptr,
                           std::uint64_t* size = nullptr);

// Walks the section at position with the load's list (none: only the
// leading value); 1 when every entry was read.
// written: the section as the writer writes it; while a ledger notes, each
// value the file holds otherwise is counted (the list walks both alike).
int read_sysvar_section(tagFile* f, int32_t position, std::string_view written = {});
