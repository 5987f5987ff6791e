#include "view/utf8.h"

namespace kttrv::view {

std::string bytes_to_utf8(const char* bytes) {
  std::string out;
  if (bytes == nullptr) return out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes); *p; ++p) {
    if (*p < 0x80) {
      out += static_cast<char>(*p);
    } else {
      out += static_cast<char>(0xC0 | (*p >> 6));
      out += static_cast<char>(0x80 | (*p & 0x3F));
    }
  }
  return out;
}

}  // namespace kttrv::view
