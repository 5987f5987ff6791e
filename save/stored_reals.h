// Values the loader computes from what is stored: angles it turns from
// degrees into radians (times pi, then times 1/180, each rounded), and
// dimension style reals it multiplies by the style's scale. The writer
// stores the value that the loader's own arithmetic turns back into the
// held one, bit for bit.
#pragma once

#include "format/angles.h"

// What the loader makes of a stored angle, operation for operation.
inline double loaded_radians(double degrees) { return degrees_to_radians(degrees); }

// The degrees to store so that loaded_radians gives back `radians`: exactly
// when some double does (exact is then true), else the nearest the loader
// can reach. A short decimal (as a person types it) is preferred among
// exact answers.
double stored_degrees(double radians, bool& exact);
inline double oblique_degrees(double radians) {
  bool exact = false;
  return stored_degrees(radians, exact);
}

// The value v to store so that the loaded scaled_real(v, scale)
// (format/dim_style_layout.h) gives back `product` bit for bit;
// exact says whether one was found (else v is the nearest tried).
double stored_factor(double product, double scale, bool& exact);

// Equal in every bit: -0.0 differs from 0.0, NaNs compare by payload.
bool same_bits(double a, double b);
