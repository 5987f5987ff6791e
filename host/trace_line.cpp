#include "host/trace_line.h"

#include <charconv>
#include <cstdio>

#include "format/json_real.h"

void append_json_real(std::string& out, double value) {
  char text[kJsonRealRoom];
  out.append(text, write_json_real(text, value, JsonRealStyle::shortest));
}

// Each byte is the Unicode character of the same number, written as UTF-8.
void append_json_bytes(std::string& out, const char* text) {
  if (text == nullptr) {
    out += "null";
    return;
  }
  out += '"';
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else if (c < 0x80) {
          out += static_cast<char>(c);
        } else {
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
  }
  out += '"';
}

TraceLine::TraceLine(std::string& out, std::string_view op) : out_(out) {
  out_.clear();
  out_ += "{\"op\":\"";
  out_ += op;
  out_ += "\",\"args\":[";
}

void TraceLine::comma() {
  if (!first_arg_) out_ += ',';
  first_arg_ = false;
}

void TraceLine::close_args() {
  if (!args_closed_) {
    out_ += ']';
    args_closed_ = true;
  }
}

TraceLine& TraceLine::arg(long value) {
  comma();
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out_.append(buf, res.ptr);
  return *this;
}

TraceLine& TraceLine::arg(bool value) {
  comma();
  out_ += value ? "true" : "false";
  return *this;
}

TraceLine& TraceLine::arg(double value) {
  comma();
  append_json_real(out_, value);
  return *this;
}

TraceLine& TraceLine::arg(const char* text) {
  comma();
  append_json_bytes(out_, text);
  return *this;
}

TraceLine& TraceLine::point(const double* xyz) {
  comma();
  out_ += '[';
  for (int i = 0; i < 3; ++i) {
    if (i) out_ += ',';
    append_json_real(out_, xyz[i]);
  }
  out_ += ']';
  return *this;
}

namespace {
template <class T>
void append_integers(std::string& out, const T* values, int n) {
  out += '[';
  for (int i = 0; i < n; ++i) {
    if (i) out += ',';
    out += std::to_string(values[i]);
  }
  out += ']';
}
}  // namespace

TraceLine& TraceLine::longs(const long* values, int n) {
  comma();
  append_integers(out_, values, n);
  return *this;
}

TraceLine& TraceLine::shorts(const short* values, int n) {
  comma();
  append_integers(out_, values, n);
  return *this;
}

TraceLine& TraceLine::reals(const double* values, int n) {
  comma();
  out_ += '[';
  for (int i = 0; i < n; ++i) {
    if (i) out_ += ',';
    append_json_real(out_, values[i]);
  }
  out_ += ']';
  return *this;
}

TraceLine& TraceLine::id(long id) {
  close_args();
  out_ += ",\"id\":";
  out_ += id == 0 ? std::string("null") : std::to_string(id);
  return *this;
}

TraceLine& TraceLine::ret(long value) {
  close_args();
  out_ += ",\"ret\":";
  out_ += std::to_string(value);
  return *this;
}

void TraceLine::finish() {
  close_args();
  out_ += '}';
}
