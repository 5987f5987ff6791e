#include "view/picture_sink.h"

#include <cmath>

namespace kttrv::view {

PictureSink::PictureSink(Drain drain) : drain_(std::move(drain)), buffer_(64 * 1024) {}

PictureSink PictureSink::to_file(std::FILE* file) {
  return PictureSink([file](const char* data, std::size_t size) { return std::fwrite(data, 1, size, file) == size; });
}

void PictureSink::make_room(std::size_t) { flush(); }

void PictureSink::drain_whole(std::string_view s) {
  if (!failed_ && !drain_(s.data(), s.size())) failed_ = true;
  drained_ += s.size();
}

bool PictureSink::flush() {
  if (used_ > 0) {
    if (!failed_ && !drain_(buffer_.data(), used_)) failed_ = true;
    drained_ += used_;
    used_ = 0;
  }
  return !failed_;
}

void PictureSink::number(double v, int decimals) {
  static constexpr std::int64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  decimals = decimals < 0 ? 0 : decimals > 6 ? 6 : decimals;
  const std::int64_t unit = kPowers[decimals];
  if (!std::isfinite(v) || std::abs(v) > 1e12) v = 0;
  std::int64_t scaled = std::llround(v * static_cast<double>(unit));
  char text[40];
  char* end = text + sizeof text;
  char* at = end;
  const bool negative = scaled < 0;
  std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-scaled) : static_cast<std::uint64_t>(scaled);
  std::uint64_t whole = magnitude / static_cast<std::uint64_t>(unit);
  std::uint64_t fraction = magnitude % static_cast<std::uint64_t>(unit);
  if (fraction != 0) {
    int digits = decimals;
    while (fraction % 10 == 0) {
      fraction /= 10;
      --digits;
    }
    for (int i = 0; i < digits; ++i) {
      *--at = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    *--at = '.';
  }
  do {
    *--at = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  if (negative) *--at = '-';
  put(std::string_view(at, static_cast<std::size_t>(end - at)));
}

}  // namespace kttrv::view
