// How the bytes of a drawing's strings are read as characters: Latin-1
// (each byte the character of the same number, what every view did before
// there was a choice), UTF-8, or any encoding the C library's iconv knows.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kttrv::view {

class TextEncoding {
 public:
  // The encoding of that name: "latin1" (also "iso-8859-1", "l1"), "utf-8"
  // and, where iconv is built in (not the Windows build), every name
  // `iconv -l` lists. Null, with problem saying why, for a name unknown.
  static std::unique_ptr<TextEncoding> open(const std::string& name, std::string& problem);
  // The default: Latin-1.
  static const TextEncoding& latin1();

  ~TextEncoding();
  TextEncoding(const TextEncoding&) = delete;
  TextEncoding& operator=(const TextEncoding&) = delete;

  // The name as given to open() ("latin1" for the default).
  const std::string& name() const { return name_; }
  // Whether every byte string is text in it (Latin-1): nothing to check.
  bool every_byte_valid() const { return kind_ == Kind::latin1; }

  // The bytes as UTF-8. A sequence that is no character of the encoding
  // becomes U+FFFD, and `valid`, when given, is set false (else true).
  // Calls may come from several threads.
  std::string decode(std::string_view bytes, bool* valid = nullptr) const;
  // The same for a kernel string; null gives the empty string.
  std::string decode(const char* bytes, bool* valid = nullptr) const {
    return bytes ? decode(std::string_view(bytes), valid) : std::string();
  }
  // Whether the bytes are text in this encoding.
  bool valid(std::string_view bytes) const;

 private:
  enum class Kind { latin1, utf8, converter };
  TextEncoding(std::string name, Kind kind) : name_(std::move(name)), kind_(kind) {}

  std::string name_;
  Kind kind_;
  void* converter_ = nullptr;  // an iconv_t (Kind::converter)
  mutable std::mutex mutex_;   // iconv keeps state between calls
};

}  // namespace kttrv::view
