// Shared pieces of the trv commands.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "kernel/zirida.h"
#include "load/drawing_file.h"

namespace trv {

// Diagnostics of the plug-in: printed with -v, and the last one kept for the
// one-line error a failed command prints.
void install_diagnostics(bool verbose);
const std::string& last_diagnostic();

// "trv: <message>" on stderr.
void error(const std::string& message);

// A drawing file opened and read as the load reads it (load/drawing_file.h):
// the whole file, or only its header when that names no version the loader
// reads. Null after a one-line error naming the file and what is wrong.
std::unique_ptr<DrawingFile> read_input(const std::string& path);

// Makes path the system-variable list of the loads to come (nothing when it
// is empty); false after a one-line error when it cannot be read.
bool set_sysvar_list(const std::string& path);

// Loads path into drawing (made current) with the exported entry point;
// prints a one-line error when the load returns false.
bool load_drawing(const std::string& path, int mode, KT_Drawing& drawing, bool quiet_error = false);

// The reason a load failed, for the one-line error.
std::string load_failure_reason(const std::string& path);

// Bytes as the characters of the same numbers, encoded as UTF-8.
std::string bytes_to_utf8(const char* text);

}  // namespace trv
