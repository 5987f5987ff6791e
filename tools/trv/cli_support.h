// Shared pieces of the trv commands.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kernel/zirida.h"
#include "load/drawing_file.h"
#include "view/utf8.h"

namespace trv {

// How much a command says on stderr besides its errors: quiet drops the
// warnings about damage, verbose adds the plug-in's notes (values it replaced).
enum class Verbosity { quiet, normal, verbose };

// Diagnostics of the plug-in: damage collected for the warnings, notes
// printed with -v, and the last one kept for the one-line error a failed
// command prints.
void install_diagnostics(Verbosity verbosity);
// The verbosity given to install_diagnostics.
Verbosity current_verbosity();
const std::string& last_diagnostic();

// One line per section that stopped early during the last load (a block's
// entity stream and its block section make one line).
const std::vector<std::string>& load_damage();

// "trv: warning: <path>: <line>" for each line of load_damage(), unless quiet.
void print_damage(const std::string& path);
// "trv: warning: <path>: <line>", unless quiet.
void warn(const std::string& path, const std::string& line);

// Standard output and error carry bytes as written: on Windows "\n" would
// otherwise become "\r\n".
void use_binary_output();

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
// prints a one-line error when the load returns false, and the damage
// warnings when it succeeds.
bool load_drawing(const std::string& path, int mode, KT_Drawing& drawing, bool quiet_error = false);

// The reason a load failed, for the one-line error.
std::string load_failure_reason(const std::string& path);

// At most the first n bytes of the file (fewer when it is shorter), or
// nullopt when it cannot be opened (the load that follows says why).
std::optional<std::vector<unsigned char>> read_file_head(const std::string& path, std::size_t n);

// The version text a file starts with (legacy files: their 20-byte text,
// others: the header's 14-byte field), as UTF-8, and whether it is legacy.
struct FileVersion {
  std::string text;
  bool legacy = false;
};
FileVersion file_version(const std::vector<unsigned char>& head);

// Bytes as the characters of the same numbers, encoded as UTF-8.
using kttrv::view::bytes_to_utf8;

}  // namespace trv
