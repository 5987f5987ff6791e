// The parts of trv info: the summary of a loaded file (info_summary.cpp) and
// the header and section directory of a file (info_directory.cpp).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/trv/loaded_file.h"

namespace trv {

// What the loaded file holds, as one value (schema in docs/INFO.md): trv
// info --json writes it, print_info_text writes it as text. Its "encoding"
// tells how many of the drawing's strings are no text in `encoding`.
nlohmann::json info_summary(const LoadedFile& f,
                            const kttrv::view::TextEncoding& encoding = kttrv::view::TextEncoding::latin1());
// The summary of a file that loaded, as a block of text.
void print_info_text(const nlohmann::json& summary);

// Prints the header and the section directory of path (no load), or for a
// legacy file its fixed part and entity section; the exit status.
int info_directory(const std::string& path);

}  // namespace trv
