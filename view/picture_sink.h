// Bytes of a picture on their way out: gathered in a buffer of 64 KiB and
// handed on whole (to a FILE*, or to a deflater that feeds one), with the
// short decimal numbers the SVG and PDF writers spell coordinates in.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

namespace kttrv::view {

class PictureSink {
 public:
  // Takes each full buffer; false: it could not, and the sink fails.
  using Drain = std::function<bool(const char* data, std::size_t size)>;
  explicit PictureSink(Drain drain);
  // Writes to the file (which stays open; the caller closes it).
  static PictureSink to_file(std::FILE* file);

  void put(std::string_view s) {
    if (s.size() > buffer_.size() - used_) make_room(s.size());
    if (s.size() > buffer_.size() - used_) return drain_whole(s);
    std::copy(s.begin(), s.end(), buffer_.data() + used_);
    used_ += s.size();
  }
  void put(char c) {
    if (used_ == buffer_.size()) make_room(1);
    buffer_[used_++] = c;
  }
  // v rounded to `decimals` places (at most 6), without trailing zeros; a
  // value beyond +-1e12 or not finite is written as 0.
  void number(double v, int decimals = 2);
  // Hands on what is buffered; false once anything could not be handed on.
  bool flush();
  bool ok() const { return !failed_; }
  // Bytes handed on or buffered so far.
  std::uint64_t size() const { return drained_ + used_; }

 private:
  void make_room(std::size_t n);
  void drain_whole(std::string_view s);

  Drain drain_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  std::uint64_t drained_ = 0;
  bool failed_ = false;
};

}  // namespace kttrv::view
