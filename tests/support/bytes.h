// Test support: writes little-endian file fields by name.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class Bytes {
 public:
  Bytes() = default;

  template <class T>
  Bytes& put(T value) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    data_.insert(data_.end(), raw, raw + sizeof(T));
    return *this;
  }
  Bytes& u8(int v) { return put(static_cast<uint8_t>(v)); }
  Bytes& i16(int v) { return put(static_cast<int16_t>(v)); }
  Bytes& u16(int v) { return put(static_cast<uint16_t>(v)); }
  Bytes& i32(int64_t v) { return put(static_cast<int32_t>(v)); }
  Bytes& u32(uint64_t v) { return put(static_cast<uint32_t>(v)); }
  Bytes& f64(double v) { return put(v); }
  Bytes& pt2(double x, double y) { return f64(x).f64(y); }
  Bytes& pt3(double x, double y, double z) { return f64(x).f64(y).f64(z); }
  Bytes& zeros(std::size_t n) {
    data_.insert(data_.end(), n, 0);
    return *this;
  }
  Bytes& raw(std::string_view s) {
    data_.insert(data_.end(), s.begin(), s.end());
    return *this;
  }
  // int16 length, then the characters, no terminator.
  Bytes& str(std::string_view s) { return i16(static_cast<int>(s.size())).raw(s); }
  // The characters, then a zero byte.
  Bytes& cstr(std::string_view s) { return raw(s).u8(0); }
  Bytes& append(const Bytes& other) {
    data_.insert(data_.end(), other.data_.begin(), other.data_.end());
    return *this;
  }
  // Overwrites sizeof(T) bytes at offset (for fields filled in later).
  template <class T>
  Bytes& patch(std::size_t offset, T value) {
    std::memcpy(data_.data() + offset, &value, sizeof(T));
    return *this;
  }

  std::size_t size() const { return data_.size(); }
  const std::vector<unsigned char>& data() const { return data_; }
  std::vector<unsigned char>& data() { return data_; }

 private:
  std::vector<unsigned char> data_;
};
