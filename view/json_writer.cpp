#include "view/json_writer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "format/json_real.h"
#include "view/hex_pairs.h"

namespace kttrv::view {

JsonOut& JsonOut::line_break() {
  separate();
  put('\n');
  comma_ = false;
  return *this;
}

JsonOut& JsonOut::real(double v) {
  separate();
  room(kJsonRealRoom);
  used_ = static_cast<std::size_t>(write_json_real(buffer_ + used_, v, JsonRealStyle::real) - buffer_);
  comma_ = true;
  return *this;
}

JsonOut& JsonOut::reals(const double* v, int n) {
  // A short array (a point) is written after one test for room.
  constexpr int kShort = 8;
  room(n <= kShort ? (kJsonRealRoom + 1) * kShort + 3 : 2);
  char* at = buffer_ + used_;
  if (comma_) *at++ = ',';
  *at++ = '[';
  for (int i = 0; i < n; ++i) {
    if (n > kShort) {
      used_ = static_cast<std::size_t>(at - buffer_);
      room(kJsonRealRoom + 2);
      at = buffer_ + used_;
    }
    if (i > 0) *at++ = ',';
    at = write_json_real(at, v[i], JsonRealStyle::real);
  }
  used_ = static_cast<std::size_t>(at - buffer_);
  put(']');
  comma_ = true;
  return *this;
}

namespace {

// Bytes that go over as they are: for kernel strings (bytes, each written
// as a character) and for UTF-8 text.
using PlainBytes = std::array<bool, 256>;
constexpr PlainBytes plain_bytes(bool from_bytes) {
  PlainBytes plain{};
  for (int b = 0; b < 256; ++b) plain[b] = b >= 0x20 && b != '"' && b != '\\' && (b < 0x80 || !from_bytes);
  return plain;
}
constexpr PlainBytes kPlainKernelBytes = plain_bytes(true);
constexpr PlainBytes kPlainUtf8 = plain_bytes(false);

}  // namespace

JsonOut& JsonOut::quoted(std::string_view chars, bool from_bytes) {
  separate();
  const PlainBytes& plain_byte = from_bytes ? kPlainKernelBytes : kPlainUtf8;
  const auto plain = [&plain_byte](char c) { return plain_byte[static_cast<unsigned char>(c)]; };
  std::size_t run = 0;
  while (run < chars.size() && plain(chars[run])) ++run;
  if (run == chars.size() && chars.size() + 3 <= kSize) {
    // Nothing to escape: the usual string in one copy.
    quote_plain(chars);
    comma_ = true;
    return *this;
  }
  put('"');
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < chars.size(); run = i) {
    // A run that needs no escape goes over in one copy.
    while (run < chars.size() && plain(chars[run])) ++run;
    put(chars.substr(i, run - i));
    if (run == chars.size()) break;
    room(6);
    char* at = buffer_ + used_;
    const auto b = static_cast<unsigned char>(chars[run]);
    if (b >= 0x80) {
      *at++ = static_cast<char>(0xC0 | (b >> 6));
      *at++ = static_cast<char>(0x80 | (b & 0x3F));
    } else if (b == '"' || b == '\\') {
      *at++ = '\\';
      *at++ = static_cast<char>(b);
    } else {
      *at++ = '\\';
      switch (b) {
        case '\b': *at++ = 'b'; break;
        case '\f': *at++ = 'f'; break;
        case '\n': *at++ = 'n'; break;
        case '\r': *at++ = 'r'; break;
        case '\t': *at++ = 't'; break;
        default:
          *at++ = 'u';
          *at++ = '0';
          *at++ = '0';
          *at++ = kHex[b >> 4];
          *at++ = kHex[b & 0xF];
      }
    }
    used_ = static_cast<std::size_t>(at - buffer_);
    i = run + 1;
  }
  put('"');
  comma_ = true;
  return *this;
}

JsonOut& JsonOut::hex(const unsigned char* bytes, std::size_t size) {
  separate();
  put('"');
  while (size > 0) {
    room(2);
    const std::size_t n = std::min(size, (kSize - used_) / 2);
    char* at = buffer_ + used_;
    for (std::size_t i = 0; i < n; ++i, at += 2) std::memcpy(at, &kHexPairsLower[2 * std::size_t{bytes[i]}], 2);
    used_ += 2 * n;
    bytes += n;
    size -= n;
  }
  put('"');
  comma_ = true;
  return *this;
}

void JsonOut::put(std::string_view s) {
  while (!s.empty()) {
    room(1);
    const std::size_t n = std::min(s.size(), kSize - used_);
    std::memcpy(buffer_ + used_, s.data(), n);
    used_ += n;
    s.remove_prefix(n);
  }
}

void JsonOut::drain() {
  if (text_ != nullptr) text_->append(buffer_, used_);
  else if (used_ != 0 && !failed_ && std::fwrite(buffer_, 1, used_, out_) != used_) failed_ = true;
  used_ = 0;
}

bool JsonOut::flush() {
  drain();
  if (out_ != nullptr && !failed_ && std::fflush(out_) != 0) failed_ = true;
  return !failed_;
}

}  // namespace kttrv::view
