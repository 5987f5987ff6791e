// trv info for legacy files ("Torv 1.0", "Torv 1.5").
#pragma once

#include <string>

#include "load/drawing_file.h"
#include "load/load.h"

namespace trv {

// Prints the header, directory, table descriptors and entity section of a
// legacy file, which id identifies; the exit status (0 when the loader would
// read its fixed part). A file whose version is unknown was read only as far
// as its header.
int info_legacy(const std::string& path, const kttrv::FileIdentity& id, const DrawingFile& file);

}  // namespace trv
