// Angles are stored in degrees; the kernel takes radians.
#pragma once

// Multiplies by pi first and by one 180th second, each in double precision,
// so that every reader produces bit-identical radians.
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kOneEightieth = 0.005555555555555556;

inline double degrees_to_radians(double degrees) { return degrees * kPi * kOneEightieth; }
