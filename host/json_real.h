// A double as JSON text, for the kernel call trace and trv dump alike.
#pragma once

#include <cstddef>

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

// Writes v at `at` and returns the end. NaN and the infinities, which JSON
// cannot hold, become the strings "nan", "inf" and "-inf".
char* write_json_real(char* at, double v, JsonRealStyle style);
