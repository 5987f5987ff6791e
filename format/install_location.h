// Where the installed plug-in keeps its data files: found from the place of
// the binary that holds this code (libKtTrv, or a program linking the core),
// so an installed tree works wherever it was moved to.
#pragma once

#include <string>

// The path of `name` in the installed data directory next to this binary
// (for example <prefix>/share/kttrv/<name> seen from <prefix>/lib or
// <prefix>/bin), or "" when no such file exists.
std::string installed_data_file(const char* name);
