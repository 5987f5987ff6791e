#include "view/text_encoding.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#if !defined(_WIN32)
#include <iconv.h>
#endif


namespace kttrv::view {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Lower case, without '-', '_' and spaces: "UTF-8", "utf8" and "Utf_8" are one.
std::string folded(const std::string& name) {
  std::string out;
  for (const char c : name)
    if (c != '-' && c != '_' && c != ' ') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The length of the well-formed UTF-8 sequence at the start of s (no
// overlong forms, surrogates or code points beyond U+10FFFF), 0 when none.
std::size_t utf8_sequence(std::string_view s) {
  const auto b = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = b(0);
  if (lead < 0x80) return 1;
  std::size_t n;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < n || b(1) < low || b(1) > high) return 0;
  for (std::size_t i = 2; i < n; ++i)
    if (b(i) < 0x80 || b(i) > 0xBF) return 0;
  return n;
}

}  // namespace

std::unique_ptr<TextEncoding> TextEncoding::open(const std::string& name, std::string& problem) {
  const std::string f = folded(name);
  if (f == "latin1" || f == "iso88591" || f == "l1")
    return std::unique_ptr<TextEncoding>(new TextEncoding(name, Kind::latin1));
  if (f == "utf8") return std::unique_ptr<TextEncoding>(new TextEncoding(name, Kind::utf8));
#if defined(_WIN32)
  problem = "unknown text encoding \"" + name + "\" (this build knows latin1 and utf-8)";
  return nullptr;
#else
  if (name.empty() || name.find('/') != std::string::npos) {
    problem = "unknown text encoding \"" + name + "\"";
    return nullptr;
  }
  const iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    problem = "unknown text encoding \"" + name + "\" (iconv -l lists the known ones)";
    return nullptr;
  }
  auto encoding = std::unique_ptr<TextEncoding>(new TextEncoding(name, Kind::converter));
  encoding->converter_ = cd;
  return encoding;
#endif
}

const TextEncoding& TextEncoding::latin1() {
  static const TextEncoding encoding("latin1", Kind::latin1);
  return encoding;
}

TextEncoding::~TextEncoding() {
#if !defined(_WIN32)
  if (converter_ != nullptr) iconv_close(static_cast<iconv_t>(converter_));
#endif
}

std::string TextEncoding::decode(std::string_view bytes, bool* valid) const {
  bool all_valid = true;
  std::string out;
  switch (kind_) {
    case Kind::latin1:
      out.reserve(bytes.size());
      for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
          out += c;
        } else {
          out += static_cast<char>(0xC0 | (b >> 6));
          out += static_cast<char>(0x80 | (b & 0x3F));
        }
      }
      break;
    case Kind::utf8:
      out.reserve(bytes.size());
      while (!bytes.empty()) {
        const std::size_t n = utf8_sequence(bytes);
        if (n == 0) {
          out += kReplacement;
          all_valid = false;
          bytes.remove_prefix(1);
        } else {
          out.append(bytes.substr(0, n));
          bytes.remove_prefix(n);
        }
      }
      break;
    case Kind::converter: {
#if !defined(_WIN32)
      const std::lock_guard<std::mutex> lock(mutex_);
      const auto cd = static_cast<iconv_t>(converter_);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state
      char chunk[256];
      char* in = const_cast<char*>(bytes.data());
      std::size_t in_left = bytes.size();
      while (in_left > 0) {
        char* at = chunk;
        std::size_t room = sizeof chunk;
        const std::size_t r = iconv(cd, &in, &in_left, &at, &room);
        out.append(chunk, static_cast<std::size_t>(at - chunk));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (cut at the end): one byte is no character.
        out += kReplacement;
        all_valid = false;
        ++in;
        --in_left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
      }
      // What a stateful encoding still holds (its return to the initial shift).
      char* at = chunk;
      std::size_t room = sizeof chunk;
      iconv(cd, nullptr, nullptr, &at, &room);
      out.append(chunk, static_cast<std::size_t>(at - chunk));
#endif
      break;
    }
  }
  if (valid != nullptr) *valid = all_valid;
  return out;
}

bool TextEncoding::valid(std::string_view bytes) const {
  if (kind_ == Kind::latin1) return true;
  if (kind_ == Kind::utf8) {
    while (!bytes.empty()) {
      const std::size_t n = utf8_sequence(bytes);
      if (n == 0) return false;
      bytes.remove_prefix(n);
    }
    return true;
  }
  bool ok = true;
  decode(bytes, &ok);
  return ok;
}

}  // namespace kttrv::view
