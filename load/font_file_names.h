// Font file names as the kernel wants them: a bare, lower-case file name
// ending in ".ttf" (TrueType fonts and collections) or ".shx" (all others).
#pragma once

#include <string>
#include <string_view>

// The parts of a file name: drive ("c:"), folder (up to its last slash or
// backslash), base name and extension (from the last dot, dot included).
struct FileNameParts {
  std::string_view drive, folder, base, extension;
};
FileNameParts split_file_name(std::string_view name);

// Lower-cases A to Z in place; other bytes stay.
void lower_ascii(std::string& name);

// Rewrites name as its lower-case base name plus ".ttf" or ".shx". The whole
// name decides: nothing is cut, so the extension is always the name's own.
void normalize_font_file(std::string& name);
