// A double as JSON text, for the kernel call trace and trv dump alike.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

enum class JsonRealStyle {
  // The shortest text that reads back as the same double ("1", "-0",
  // "1e+16"): the trace.
  shortest,
  // The same, with integral values given a fraction ("1.0", "-0.0") unless
  // the exponent form is shorter ("1e+16"), so that they read back as reals:
  // the dump.
  real,
};

// Room write_json_real needs at `at`.
inline constexpr std::size_t kJsonRealRoom = 64;

// The decimal digits of v at `at` (room for 20); returns the end.
char* write_decimal_digits(char* at, uint64_t v);

namespace json_real_detail {
// The general path: the shortest round-trip text, then the dump's fraction.
char* write_general(char* at, double v, JsonRealStyle style);
// Reals of at most three decimals below 10^12 (drawings hold mostly such),
// or null.
char* write_short_decimal(char* at, double v);
}  // namespace json_real_detail

// Writes v at `at` and returns the end. NaN and the infinities, which JSON
// cannot hold, become the strings "nan", "inf" and "-inf". Inline so that a
// caller writing millions of reals (trv dump) tests the common cases in place.
inline char* write_json_real(char* at, double v, JsonRealStyle style) {
  if (style == JsonRealStyle::real) {
    if (v == 0) {  // most z values: no rounding to test
      const bool negative = std::signbit(v);
      std::memcpy(at, negative ? "-0.0" : "0.0", 4);
      return at + (negative ? 4 : 3);
    }
    if (char* end = json_real_detail::write_short_decimal(at, v)) return end;
  }
  return json_real_detail::write_general(at, v, style);
}
