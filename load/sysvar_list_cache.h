// The module's system-variable list: read from the path our host set, else
// the installed copy, else the build tree's, and kept between loads while
// its file stays the same. Entry-point state, used under the entry lock.
#pragma once

#include <memory>

#include "format/diagnostics.h"
#include "tables/sysvar_list.h"

// Where the list is read from.
const char* sysvar_list_path();
void set_sysvar_list_path(const char* path);  // null: back to the default

// Replaces the module's list with the file at path (empty when it cannot be
// read).
void read_sysvar_list(const char* path);
// The same for a load: the list is read again only when the path, or the
// file's modification time or size, changed since it was read; a file that
// cannot be read is reported to `out` and leaves the list empty.
std::shared_ptr<const SysVarList> use_sysvar_list(const char* path, const DiagnosticOutput& out);
// The module's list as last read.
const SysVarList& sysvar_list();
// The same, held: it stays alive while the holder keeps it.
std::shared_ptr<const SysVarList> current_sysvar_list();
