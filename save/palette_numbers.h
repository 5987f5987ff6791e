// From a colour value back to a colour number: several numbers share a
// value, and any of them reads back as that value; the lowest is written.
#pragma once

#include <cstdint>

// The lowest number from 1 to 255 whose palette entry is `value`, or 0 when
// no entry is (number 0 is never written: layers read it as 7).
int16_t palette_number(long value);
