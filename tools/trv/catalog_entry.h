// What the catalogue keeps of one file, worked out by whoever reads it (a
// worker process or the build itself) as one JSON value that the writer
// puts in the database (catalog_db.h): the file's row, then its layers, text
// styles, blocks and searchable texts as arrays in the column order of the
// insert statements.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace trv::catalog {

// A file as the walk found it.
struct FoundFile {
  std::string path;  // absolute, normalised
  std::int64_t size = 0;
  std::int64_t mtime_ns = 0;
};

// The 64-bit content hash of a file as 16 hexadecimal digits; nothing, with
// `problem` set, when the file cannot be read.
std::optional<std::string> file_hash(const std::string& path, std::string& problem);

// The entry of a file. When its content hashes to known_hash the file is not
// loaded and the entry is {"path", "size", "mtime_ns", "hash", "same": true}.
// A file that cannot be read or loaded gives an entry with loaded false and
// its failure; this never throws for what a file holds.
nlohmann::json read_entry(const FoundFile& file, const std::string& known_hash);

}  // namespace trv::catalog
