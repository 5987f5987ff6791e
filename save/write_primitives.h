// The writing primitives every section writer uses: little-endian numbers,
// IEEE doubles, tags and the two string forms.
#pragma once

#include <cstddef>
#include <cstdint>

#include "save/torv_writer.h"

// The characters without terminator or length; null writes nothing.
void write_tag(TorvWriter& w, const char* tag);
void write_int16(TorvWriter& w, int16_t value);
void write_int32(TorvWriter& w, int32_t value);
void write_real(TorvWriter& w, double value);
void write_pt2(TorvWriter& w, double x, double y);
void write_pt3(TorvWriter& w, double x, double y, double z);
void write_zeros(TorvWriter& w, std::size_t count);
// int16 length, then the characters without terminator; null writes
// nothing. A string longer than an int16 can count is cut to 32767 bytes.
inline constexpr std::size_t kLongestCountedString = 32767;
void write_counted_string(TorvWriter& w, const char* text);
// The characters, then one zero byte; null writes nothing.
void write_cstring(TorvWriter& w, const char* text);
