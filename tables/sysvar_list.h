// The system-variable list: the value type of every entry of the
// system-variable section, in file order, read from a text file
// (kept between loads while the file stays the same).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "format/tag_file.h"

struct SysVarEntry {
  char name[32];
  int8_t type;
};

// Replaces the module-wide list with the file at path (empty when it cannot
// be read).
void read_sysvar_list(const char* path);
// The same for a load: the list is read again only when the path, or the
// file's modification time or size, changed since it was read; a file that
// cannot be read is reported and leaves the list empty.
void use_sysvar_list(const char* path);
const std::vector<SysVarEntry>& sysvar_list();

// Where the list is read from: the path set by our host, else the installed
// copy, else the copy in the build tree.
const char* sysvar_list_path();
void set_sysvar_list_path(const char* path);  // null: back to the default

// Walks the section at position with the list; 1 when every entry was read.
// written: the section as the writer writes it; while a ledger notes, each
// value the file holds otherwise is counted (the list walks both alike).
int read_sysvar_section(tagFile* f, int32_t position, std::string_view written = {});
