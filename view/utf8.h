// The kernel's strings are bytes; pictures and reports want UTF-8.
#pragma once

#include <string>

namespace kttrv::view {

// Each byte as the character of the same number (U+0000 to U+00FF), in
// UTF-8; null as the empty string.
std::string bytes_to_utf8(const char* bytes);

}  // namespace kttrv::view
