#include "format/json_real.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>

namespace {

char* copy(char* at, const char* text) {
  const std::size_t n = std::strlen(text);
  std::memcpy(at, text, n);
  return at + n;
}

// The fraction of a thousandths count as text: its three digits with the
// trailing zeros dropped (one digit left at least) and, last, how many.
struct FractionText {
  char bytes[4];
};
constexpr std::array<FractionText, 1000> make_fractions() {
  std::array<FractionText, 1000> table{};
  for (int f = 0; f < 1000; ++f) {
    const char digits[3] = {static_cast<char>('0' + f / 100), static_cast<char>('0' + f / 10 % 10),
                            static_cast<char>('0' + f % 10)};
    const int length = f % 100 == 0 ? 1 : f % 10 == 0 ? 2 : 3;
    table[static_cast<std::size_t>(f)] = {{digits[0], digits[1], digits[2], static_cast<char>(length)}};
  }
  return table;
}
constexpr std::array<FractionText, 1000> kFractions = make_fractions();

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace

// Below 10^8 (nearly every coordinate's whole part, id and colour) by pairs
// of digits from a table; larger ones by std::to_chars.
char* write_decimal_digits(char* at, uint64_t v) {
  if (v >= 100'000'000) return std::to_chars(at, at + 24, v).ptr;
  auto n = static_cast<uint32_t>(v);
  const int digits = n < 10 ? 1 : n < 100 ? 2 : n < 1000 ? 3 : n < 10000 ? 4
                   : n < 100000 ? 5 : n < 1000000 ? 6 : n < 10000000 ? 7 : 8;
  char* const end = at + digits;
  char* p = end;
  while (n >= 100) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (n % 100), 2);
    n /= 100;
  }
  if (n >= 10) std::memcpy(p - 2, kDigitPairs + 2 * n, 2);
  else p[-1] = static_cast<char>('0' + n);
  return end;
}

// Written from their integer of thousandths: the same text as the general
// path, several times faster. Null when v is not such a real or its text
// would need the exponent form.
char* json_real_detail::write_short_decimal(char* at, double v) {
  if (!(std::fabs(v) < 1e12)) return nullptr;
  // Rounded to an integer as nearbyint does (|v| * 1000 < 2^51, where adding
  // 1.5 * 2^52 leaves no fraction), without its library call; only the sign
  // of a zero may differ, and a zero passes on to the test of v == 0 alike.
  constexpr double kRound = 0x1.8p52;
  const double thousandths = (v * 1000.0 + kRound) - kRound;
  if (thousandths / 1000.0 != v) return nullptr;
  if (v == 0) return copy(at, std::signbit(v) ? "-0.0" : "0.0");
  const auto n = static_cast<uint64_t>(std::fabs(thousandths));
  const uint64_t whole = n / 1000;
  const auto fraction = static_cast<std::size_t>(n % 1000);
  // "100.0" is no longer than "1e+02", "1000.0" is; "0.001" ties with "1e-03".
  if ((fraction == 0 && whole % 1000 == 0) || (whole == 0 && fraction < 10)) return nullptr;
  if (v < 0) *at++ = '-';
  at = write_decimal_digits(at, whole);
  *at++ = '.';
  // All four bytes go; the length byte is overwritten or lies past the end.
  std::memcpy(at, kFractions[fraction].bytes, 4);
  return at + kFractions[fraction].bytes[3];
}

char* json_real_detail::write_general(char* at, double v, JsonRealStyle style) {
  if (std::isnan(v)) return copy(at, "\"nan\"");
  if (std::isinf(v)) return copy(at, v > 0 ? "\"inf\"" : "\"-inf\"");
  char* end = std::to_chars(at, at + kJsonRealRoom, v).ptr;
  if (style == JsonRealStyle::shortest) return end;
  const auto length = static_cast<std::size_t>(end - at);
  // Integral values come out as "12" or "-0": give them a fraction, or take
  // the exponent form when that is shorter ("1e+16", not "10000000000000000.0").
  if (std::memchr(at, '.', length) == nullptr && std::memchr(at, 'e', length) == nullptr) {
    char scientific[kJsonRealRoom];
    const char* const scientific_end =
        length < 4 ? scientific + kJsonRealRoom
                   : std::to_chars(scientific, scientific + kJsonRealRoom, v, std::chars_format::scientific).ptr;
    const auto scientific_length = static_cast<std::size_t>(scientific_end - scientific);
    if (scientific_length < length + 2) {
      std::memcpy(at, scientific, scientific_length);
      end = at + scientific_length;
    } else {
      *end++ = '.';
      *end++ = '0';
    }
  }
  return end;
}
