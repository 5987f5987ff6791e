// Shared pieces of the trv commands.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "kernel/zirida.h"

namespace trv {

// Diagnostics of the plug-in: printed with -v, and the last one kept for the
// one-line error a failed command prints.
void install_diagnostics(bool verbose);
const std::string& last_diagnostic();

// Standard output and error carry bytes as written: on Windows "\n" would
// otherwise become "\r\n".
void use_binary_output();

// "trv: <message>" on stderr.
void error(const std::string& message);

// The whole file, or nullopt after printing a one-line error.
std::optional<std::vector<unsigned char>> read_file(const std::string& path);

// Loads path into drawing (made current) with the exported entry point;
// prints a one-line error when the load returns false.
bool load_drawing(const std::string& path, int mode, KT_Drawing& drawing, bool quiet_error = false);

// The reason a load failed, for the one-line error.
std::string load_failure_reason(const std::string& path);

// Bytes as the characters of the same numbers, encoded as UTF-8.
std::string bytes_to_utf8(const char* text);

}  // namespace trv
