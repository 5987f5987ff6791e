#include "save/oblique_angle.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The loader's conversion is monotone, so the answer lies a few steps from
// the plain inverse; each step is one double.
double nearest_by_steps(double start, double radians) {
  double d = start;
  for (int i = 0; i < 64 && loaded_radians(d) < radians; ++i) d = std::nextafter(d, kInf);
  for (int i = 0; i < 64 && loaded_radians(d) > radians; ++i) d = std::nextafter(d, -kInf);
  const double up = std::nextafter(d, kInf);
  return std::fabs(loaded_radians(up) - radians) < std::fabs(loaded_radians(d) - radians) ? up : d;
}

}  // namespace

double oblique_degrees(double radians) {
  if (!std::isfinite(radians) || radians == 0.0) return radians;
  const double guess = radians / kOneEightieth / kPi;
  if (!std::isfinite(guess)) return guess;
  double scale = 1.0;
  for (int places = 0; places <= 9; ++places, scale *= 10.0) {
    const double scaled = guess * scale;
    if (std::fabs(scaled) >= 0x1p52) break;
    const double decimal = std::round(scaled) / scale;
    if (loaded_radians(decimal) == radians) return decimal;
  }
  return nearest_by_steps(guess, radians);
}
