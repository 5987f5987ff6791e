#include "tools/trv/json_out.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace trv {

JsonOut& JsonOut::open(char c) {
  separate();
  put(c);
  comma_ = false;
  return *this;
}

JsonOut& JsonOut::close(char c) {
  put(c);
  comma_ = true;
  return *this;
}

JsonOut& JsonOut::line_break() {
  separate();
  put('\n');
  comma_ = false;
  return *this;
}

JsonOut& JsonOut::key(std::string_view name) {
  separate();
  put('"');
  put(name);
  put("\":");
  comma_ = false;
  return *this;
}

JsonOut& JsonOut::literal(std::string_view s) {
  separate();
  put(s);
  comma_ = true;
  return *this;
}

JsonOut& JsonOut::integer(long long v) {
  separate();
  room(kLongestPiece);
  char* at = buffer_ + used_;
  used_ = static_cast<std::size_t>(std::to_chars(at, at + kLongestPiece, v).ptr - buffer_);
  comma_ = true;
  return *this;
}

JsonOut& JsonOut::real(double v) {
  if (std::isnan(v)) return literal("\"nan\"");
  if (std::isinf(v)) return literal(v > 0 ? "\"inf\"" : "\"-inf\"");
  separate();
  room(kLongestPiece);
  char* const at = buffer_ + used_;
  char* end = std::to_chars(at, at + kLongestPiece, v).ptr;
  const auto length = static_cast<std::size_t>(end - at);
  // Integral values come out as "12" or "-0": give them a fraction, or take
  // the exponent form when that is shorter ("1e+16", not "10000000000000000.0").
  if (std::memchr(at, '.', length) == nullptr && std::memchr(at, 'e', length) == nullptr) {
    char scientific[kLongestPiece];
    const char* const scientific_end =
        length < 4 ? scientific + kLongestPiece
                   : std::to_chars(scientific, scientific + kLongestPiece, v, std::chars_format::scientific).ptr;
    const auto scientific_length = static_cast<std::size_t>(scientific_end - scientific);
    if (scientific_length < length + 2) {
      std::memcpy(at, scientific, scientific_length);
      end = at + scientific_length;
    } else {
      *end++ = '.';
      *end++ = '0';
    }
  }
  used_ = static_cast<std::size_t>(end - buffer_);
  comma_ = true;
  return *this;
}

JsonOut& JsonOut::text(const char* bytes) {
  if (bytes == nullptr) return null();
  separate();
  put('"');
  static constexpr char kHex[] = "0123456789abcdef";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes); *p; ++p) {
    room(6);
    char* at = buffer_ + used_;
    const unsigned char b = *p;
    if (b >= 0x80) {
      *at++ = static_cast<char>(0xC0 | (b >> 6));
      *at++ = static_cast<char>(0x80 | (b & 0x3F));
    } else if (b == '"' || b == '\\') {
      *at++ = '\\';
      *at++ = static_cast<char>(b);
    } else if (b < 0x20) {
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
    } else {
      *at++ = static_cast<char>(b);
    }
    used_ = static_cast<std::size_t>(at - buffer_);
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
  if (used_ != 0 && !failed_ && std::fwrite(buffer_, 1, used_, out_) != used_) failed_ = true;
  used_ = 0;
}

bool JsonOut::flush() {
  drain();
  if (!failed_ && std::fflush(out_) != 0) failed_ = true;
  return !failed_;
}

}  // namespace trv
