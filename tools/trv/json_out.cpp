#include "tools/trv/json_out.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace trv {

namespace {

// Reals of at most three decimals below 10^12, what drawings mostly hold,
// written from their integer of thousandths: the same text as the general
// path below, several times faster. Null when v is not such a real or its
// text would need the exponent form.
char* short_decimal(char* at, double v) {
  if (!(std::fabs(v) < 1e12)) return nullptr;
  const double thousandths = std::nearbyint(v * 1000.0);
  if (thousandths / 1000.0 != v) return nullptr;
  if (v == 0) {
    if (std::signbit(v)) *at++ = '-';
    std::memcpy(at, "0.0", 3);
    return at + 3;
  }
  auto n = static_cast<long long>(std::fabs(thousandths));
  int decimals = 3;
  while (decimals > 0 && n % 10 == 0) {
    n /= 10;
    --decimals;
  }
  // "100.0" is no longer than "1e+02", "1000.0" is; "0.001" ties with "1e-03".
  if ((decimals == 0 && n % 1000 == 0) || (decimals == 3 && n < 10)) return nullptr;
  if (v < 0) *at++ = '-';
  long long whole = n, fraction = 0;
  switch (decimals) {
    case 1: whole = n / 10, fraction = n % 10; break;
    case 2: whole = n / 100, fraction = n % 100; break;
    case 3: whole = n / 1000, fraction = n % 1000; break;
  }
  at = std::to_chars(at, at + 24, whole).ptr;
  *at++ = '.';
  if (decimals == 0) {
    *at++ = '0';
    return at;
  }
  for (int i = decimals - 1; i >= 0; --i, fraction /= 10) at[i] = static_cast<char>('0' + fraction % 10);
  return at + decimals;
}

}  // namespace

JsonOut& JsonOut::line_break() {
  separate();
  put('\n');
  comma_ = false;
  return *this;
}

JsonOut& JsonOut::real(double v) {
  if (std::isnan(v)) return literal("\"nan\"");
  if (std::isinf(v)) return literal(v > 0 ? "\"inf\"" : "\"-inf\"");
  separate();
  room(kLongestPiece);
  char* const at = buffer_ + used_;
  if (char* end = short_decimal(at, v)) {
    used_ = static_cast<std::size_t>(end - buffer_);
    comma_ = true;
    return *this;
  }
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

JsonOut& JsonOut::quoted(std::string_view chars, bool from_bytes) {
  separate();
  put('"');
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : chars) {
    room(6);
    char* at = buffer_ + used_;
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 && from_bytes) {
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
      *at++ = c;
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
