// A JSON text written to a file as it is produced: one fixed buffer, nothing
// of the document kept, so output of any size costs the same memory.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "format/json_real.h"
#include "view/text_encoding.h"

namespace kttrv::view {

class JsonOut {
 public:
  explicit JsonOut(std::FILE* out) : out_(out) {}
  // Into a string, for text written once and copied many times (member()).
  explicit JsonOut(std::string& text) : text_(&text) {}
  JsonOut(const JsonOut&) = delete;
  JsonOut& operator=(const JsonOut&) = delete;
  ~JsonOut() { flush(); }

  // Commas are placed by the writer: before a key or an array element that
  // follows another one.
  JsonOut& begin_object() { return open('{'); }
  JsonOut& end_object() { return close('}'); }
  JsonOut& begin_array() { return open('['); }
  JsonOut& end_array() { return close(']'); }
  // Starts the next member or element on a new line.
  JsonOut& line_break();
  // A line end where no member or element follows (before a closing bracket).
  JsonOut& newline() {
    put('\n');
    return *this;
  }
  // Ends a line that holds a whole JSON value: what follows starts a new
  // value, with no comma before it.
  JsonOut& end_line() {
    put('\n');
    comma_ = false;
    return *this;
  }
  JsonOut& key(std::string_view name) {
    separate();
    quote_plain(name);
    buffer_[used_++] = ':';  // quote_plain left room for it
    comma_ = false;
    return *this;
  }
  // A key the writer spells out (a string literal: all N - 1 characters are
  // written): its length is known where it is written, so the copy is a few
  // moves.
  template <std::size_t N>
  JsonOut& key(const char (&name)[N]) {
    quote_literal(name, true);
    comma_ = false;
    return *this;
  }

  JsonOut& integer(long long v) {
    room(kLongestPiece + 1);
    char* at = buffer_ + used_;
    if (comma_) *at++ = ',';
    if (v < 0) {
      *at++ = '-';
      // The magnitude as unsigned, where the most negative value has one.
      at = write_decimal_digits(at, uint64_t{0} - static_cast<uint64_t>(v));
    } else {
      at = write_decimal_digits(at, static_cast<uint64_t>(v));
    }
    used_ = static_cast<std::size_t>(at - buffer_);
    comma_ = true;
    return *this;
  }
  JsonOut& boolean(bool v) { return literal(v ? "true" : "false"); }
  JsonOut& null() { return literal("null"); }
  // The shortest text that reads back as the same double, always with a
  // fraction or exponent so that it reads back as a real; NaN and the
  // infinities, which JSON cannot hold, as the strings "nan", "inf", "-inf".
  JsonOut& real(double v);
  // An array of n reals.
  JsonOut& reals(const double* v, int n);
  // A string the kernel holds: its bytes as the characters of the same
  // numbers (U+0000 to U+00FF) in UTF-8; null as null.
  // With an encoding set (set_encoding), its characters instead.
  JsonOut& text(const char* bytes) { return bytes ? text_bytes(bytes) : null(); }
  // The same for bytes of a given length (a counted string of the file,
  // which may hold zeros).
  JsonOut& text_bytes(std::string_view bytes) {
    if (encoding_ == nullptr) return quoted(bytes, true);
    return quoted(encoding_->decode(bytes), false);
  }
  // How text() and text_bytes() read the kernel's bytes; null (the default)
  // or Latin-1: each byte as the character of the same number.
  void set_encoding(const TextEncoding* encoding) {
    encoding_ = encoding != nullptr && encoding->every_byte_valid() ? nullptr : encoding;
  }
  const TextEncoding* encoding() const { return encoding_; }
  // A string that is UTF-8 already.
  JsonOut& utf8(std::string_view chars) { return quoted(chars, false); }
  // A string the writer itself gives, of printable ASCII other than '"' and
  // '\\' (a kind's name): nothing to look for.
  JsonOut& word(std::string_view chars) {
    separate();
    quote_plain(chars);
    comma_ = true;
    return *this;
  }
  // The same for a string literal.
  template <std::size_t N>
  JsonOut& word(const char (&chars)[N]) {
    quote_literal(chars, false);
    comma_ = true;
    return *this;
  }
  // Bytes as a string of lower-case hexadecimal, two digits each, written
  // straight into the buffer (a record of any length).
  JsonOut& hex(const unsigned char* bytes, std::size_t size);
  // A member or element written before (by a JsonOut into a string), as it
  // stands.
  JsonOut& member(std::string_view premade) {
    separate();
    put(premade);
    comma_ = true;
    return *this;
  }

  // Writes what the buffer holds; false once any write to the file failed.
  bool flush();

 private:
  static constexpr std::size_t kSize = 64 * 1024;
  // The longest piece written without a check in between (a number).
  static constexpr std::size_t kLongestPiece = 64;

  JsonOut& open(char c) {
    separate();
    put(c);
    comma_ = false;
    return *this;
  }
  JsonOut& close(char c) {
    put(c);
    comma_ = true;
    return *this;
  }
  JsonOut& quoted(std::string_view chars, bool from_bytes);
  // A comma where one is due, then chars in quotes, and a colon after a key.
  template <std::size_t N>
  void quote_literal(const char (&chars)[N], bool colon) {
    room(N + 3);
    char* at = buffer_ + used_;
    if (comma_) *at++ = ',';
    *at++ = '"';
    std::memcpy(at, chars, N - 1);
    at += N - 1;
    *at++ = '"';
    if (colon) *at++ = ':';
    used_ = static_cast<std::size_t>(at - buffer_);
  }
  // Characters that need no escape, in quotes, with room for one more byte
  // after them; at most kSize - 3 of them.
  void quote_plain(std::string_view chars) {
    room(chars.size() + 3);
    char* at = buffer_ + used_;
    *at++ = '"';
    at = std::copy(chars.begin(), chars.end(), at);
    *at++ = '"';
    used_ = static_cast<std::size_t>(at - buffer_);
  }
  JsonOut& literal(std::string_view s) {
    separate();
    put(s);
    comma_ = true;
    return *this;
  }
  void separate() {
    if (comma_) put(',');
  }
  void room(std::size_t n) {
    if (kSize - used_ < n) drain();
  }
  void put(char c) {
    room(1);
    buffer_[used_++] = c;
  }
  void put(std::string_view s);
  void drain();

  std::FILE* out_ = nullptr;
  std::string* text_ = nullptr;
  const TextEncoding* encoding_ = nullptr;
  bool comma_ = false;
  bool failed_ = false;
  std::size_t used_ = 0;
  char buffer_[kSize];
};

}  // namespace kttrv::view
