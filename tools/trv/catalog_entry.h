// What the catalogue keeps of one file, worked out by whoever reads it (a
// worker process or the build itself) as one JSON value: the file's row,
// then its layers, text styles, blocks and searchable texts as arrays in
// the column order of the insert statements. It travels to the writer
// (catalog_db.h) encoded as a flat run of values, which the writer binds as
// it reads them, without building the value again.
#pragma once

#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

// The entry as the writer reads it: 'S' alone for a file whose content is
// unchanged; else 'E', the file's 27 values in the order of the files
// columns, then for layers, text styles, blocks and texts each a row count,
// a column count and the rows' values. A value is a tag (0 null, 1 a 64-bit
// integer, 2 a double, 3 a string: 32-bit length and bytes) and its bytes;
// booleans are integers, arrays and objects their JSON text.
std::vector<unsigned char> encode_entry(const nlohmann::json& entry);

inline constexpr int kFileValues = 27;

// Reads an encoded entry; any read past its end throws.
class EntryReader {
 public:
  enum class Tag : unsigned char { null = 0, integer = 1, real = 2, text = 3 };
  struct Value {
    Tag tag = Tag::null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string_view text;
  };

  explicit EntryReader(std::span<const unsigned char> bytes) : at_(bytes.data()), end_(bytes.data() + bytes.size()) {}

  unsigned char byte() {
    need(1);
    return *at_++;
  }
  std::uint32_t count() { return fixed<std::uint32_t>(); }
  Value value() {
    Value v;
    v.tag = static_cast<Tag>(byte());
    switch (v.tag) {
      case Tag::null: break;
      case Tag::integer: v.integer = fixed<std::int64_t>(); break;
      case Tag::real: v.real = fixed<double>(); break;
      case Tag::text: {
        const std::uint32_t n = count();
        need(n);
        v.text = std::string_view(reinterpret_cast<const char*>(at_), n);
        at_ += n;
        break;
      }
      default: throw std::runtime_error("a catalogue entry with a value of unknown type");
    }
    return v;
  }

 private:
  void need(std::size_t n) const {
    if (static_cast<std::size_t>(end_ - at_) < n) throw std::runtime_error("a catalogue entry cut short");
  }
  template <class T>
  T fixed() {
    need(sizeof(T));
    T v;
    std::memcpy(&v, at_, sizeof(T));
    at_ += sizeof(T);
    return v;
  }

  const unsigned char* at_;
  const unsigned char* end_;
};

}  // namespace trv::catalog
