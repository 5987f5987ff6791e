#include "save/stored_reals.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "format/angles.h"
#include "format/dim_style_layout.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kSteps = 64;

// The loader's conversion is monotone, so the answer lies a few steps from
// the plain inverse; each step is one double.
double degrees_by_steps(double start, double radians) {
  double d = start;
  for (int i = 0; i < kSteps && loaded_radians(d) < radians; ++i) d = std::nextafter(d, kInf);
  for (int i = 0; i < kSteps && loaded_radians(d) > radians; ++i) d = std::nextafter(d, -kInf);
  const double up = std::nextafter(d, kInf);
  if (same_bits(loaded_radians(up), radians)) return up;
  return std::fabs(loaded_radians(up) - radians) < std::fabs(loaded_radians(d) - radians) ? up : d;
}

bool quiet_nan(double v) { return std::isnan(v) && (std::bit_cast<uint64_t>(v) & (uint64_t{1} << 51)) != 0; }

}  // namespace

bool same_bits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

double stored_degrees(double radians, bool& exact) {
  // Zeros, infinities and quiet NaNs pass through the conversion unchanged;
  // a signalling NaN comes back quiet whatever is stored.
  if (!std::isfinite(radians) || radians == 0.0) {
    exact = !std::isnan(radians) || quiet_nan(radians);
    return radians;
  }
  double guess = radians / kOneEightieth / kPi;
  // Near the top of the range the quotient overflows where the product did
  // not: start from the largest degrees whose product with pi is finite.
  if (!std::isfinite(guess)) guess = std::copysign(std::numeric_limits<double>::max() / kPi, radians);
  double scale = 1.0;
  for (int places = 0; places <= 9; ++places, scale *= 10.0) {
    const double scaled = guess * scale;
    if (std::fabs(scaled) >= 0x1p52) break;
    const double decimal = std::round(scaled) / scale;
    if (same_bits(loaded_radians(decimal), radians)) {
      exact = true;
      return decimal;
    }
  }
  const double d = degrees_by_steps(guess, radians);
  exact = same_bits(loaded_radians(d), radians);
  return d;
}

double stored_factor(double product, double scale, bool& exact) {
  exact = true;
  // The plain quotient and the doubles around it; then the values that make
  // zeros, infinities and NaNs (a zero, infinite or NaN scale).
  const double guess = product / scale;
  if (std::isfinite(guess)) {
    if (same_bits(scaled_real(guess, scale), product)) return guess;
    double up = guess;
    double down = guess;
    for (int i = 0; i < kSteps; ++i) {
      up = std::nextafter(up, kInf);
      down = std::nextafter(down, -kInf);
      if (same_bits(scaled_real(up, scale), product)) return up;
      if (same_bits(scaled_real(down, scale), product)) return down;
    }
  }
  for (double v : {product, -product, 0.0, -0.0, 1.0, -1.0, kInf, -kInf}) {
    if (same_bits(scaled_real(v, scale), product)) return v;
  }
  exact = false;
  return std::isfinite(guess) ? guess : product;
}
