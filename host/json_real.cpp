#include "host/json_real.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

char* copy(char* at, const char* text) {
  const std::size_t n = std::strlen(text);
  std::memcpy(at, text, n);
  return at + n;
}

}  // namespace

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
  auto n = static_cast<long long>(std::fabs(thousandths));
  // Trailing zeros of the thousandths, tested directly rather than in a loop.
  int decimals = 3;
  if (n % 1000 == 0) n /= 1000, decimals = 0;
  else if (n % 100 == 0) n /= 100, decimals = 1;
  else if (n % 10 == 0) n /= 10, decimals = 2;
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
