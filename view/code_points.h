// Reading UTF-8 one code point at a time, for the picture writers.
#pragma once

#include <cstddef>
#include <string_view>

namespace kttrv::view {

// The code point at s[i], with i moved past it; -1 (and i moved one byte)
// where the bytes there are not UTF-8 (overlong, a surrogate, cut short).
long next_code_point(std::string_view s, std::size_t& i);

}  // namespace kttrv::view
