// A cursor over the shared tagFile with a sticky error: once a read fails,
// every later read of this reader returns 0 and moves nothing. Sections read
// a whole record, then look at ok() before they create anything.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "load/tag_file.h"

class RecordReader {
 public:
  explicit RecordReader(tagFile* f) : f_(f) {}

  bool ok() const { return ok_; }
  void fail() { ok_ = false; }
  tagFile* file() const { return f_; }
  int32_t offset() const { return f_->position; }
  std::size_t remaining() const { return ok_ ? file_remaining(f_) : 0; }

  // True when count items of size bytes could still be read; the product is
  // checked for overflow first. Never fails the reader.
  bool fits(uint64_t count, uint64_t size) const {
    const uint64_t left = remaining();
    return size == 0 || count <= left / size;
  }

  template <class T>
  T get() {
    T value{};
    if (ok_ && sizeof(T) <= file_remaining(f_)) {
      std::memcpy(&value, f_->buffer + f_->position, sizeof(T));
      f_->position += static_cast<int32_t>(sizeof(T));
    } else {
      ok_ = false;
    }
    return value;
  }
  uint8_t u8() { return get<uint8_t>(); }
  int16_t i16() { return get<int16_t>(); }
  uint16_t u16() { return get<uint16_t>(); }
  int32_t i32() { return get<int32_t>(); }
  uint32_t u32() { return get<uint32_t>(); }
  double f64() { return get<double>(); }

  // Copies n bytes, or fails leaving dst as it was.
  bool bytes(void* dst, std::size_t n) {
    if (!ok_ || n > file_remaining(f_)) return ok_ = false;
    std::memcpy(dst, f_->buffer + f_->position, n);
    f_->position += static_cast<int32_t>(n);
    return true;
  }

  // A fixed-size record: its n bytes in the buffer, the cursor moved past
  // them; null (and the reader failed) when fewer remain. One bounds check
  // for the whole record; decode the fields with field_at.
  const unsigned char* take(std::size_t n) {
    if (!ok_ || n > file_remaining(f_)) {
      ok_ = false;
      return nullptr;
    }
    const unsigned char* p = f_->buffer + f_->position;
    f_->position += static_cast<int32_t>(n);
    return p;
  }
  template <class T>
  static T field_at(const unsigned char* record, std::size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof(T));
    return value;
  }

  // Passes over n bytes (no buffer needed), or fails.
  bool skip(uint64_t n) {
    if (!ok_ || n > file_remaining(f_)) return ok_ = false;
    f_->position += static_cast<int32_t>(n);
    return true;
  }

  // The bytes of a counted string, viewed in the buffer (no copy). A string
  // cut short by the end of the data fails whole, moving nothing.
  std::string_view counted_view() {
    const std::size_t left = remaining();
    if (left < 2) {
      ok_ = false;
      return {};
    }
    int16_t n = 0;
    std::memcpy(&n, f_->buffer + f_->position, 2);
    const std::size_t len = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (len > left - 2) {
      ok_ = false;
      return {};
    }
    std::string_view s(reinterpret_cast<const char*>(f_->buffer + f_->position + 2), len);
    f_->position += static_cast<int32_t>(2 + len);
    return s;
  }

 private:
  tagFile* f_;
  bool ok_ = true;
};
