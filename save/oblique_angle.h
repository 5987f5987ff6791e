// Text style oblique angles are stored in degrees; the loader turns them
// into radians by multiplying with pi and then with 1/180, each rounded.
#pragma once

#include "format/angles.h"

// What the loader makes of a stored angle, operation for operation.
inline double loaded_radians(double degrees) { return degrees_to_radians(degrees); }

// The degrees to store so that loaded_radians gives back `radians`: exactly
// when some double does, else the nearest the loader can reach. A short
// decimal (as a person types it) is preferred among exact answers.
double oblique_degrees(double radians);
