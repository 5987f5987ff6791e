// Shared pieces of the trv commands.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "kernel/zirida.h"

namespace trv {

// How much a command says on stderr besides its errors: quiet drops the
// warnings about damage, verbose adds the plug-in's notes (values it replaced).
enum class Verbosity { quiet, normal, verbose };

// Diagnostics of the plug-in: damage collected for the warnings, notes
// printed with -v, and the last one kept for the one-line error a failed
// command prints.
void install_diagnostics(Verbosity verbosity);
const std::string& last_diagnostic();

// One line per section that stopped early during the last load (a block's
// entity stream and its block section make one line).
const std::vector<std::string>& load_damage();

// "trv: warning: <path>: <line>" for each line of load_damage(), unless quiet.
void print_damage(const std::string& path);

// "trv: <message>" on stderr.
void error(const std::string& message);

// The whole file, or nullopt after printing a one-line error.
std::optional<std::vector<unsigned char>> read_file(const std::string& path);

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
std::string bytes_to_utf8(const char* text);

}  // namespace trv
