#include "view/png_rows.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstring>

namespace kttrv::view {

namespace {

// libpng reports an error here and expects no return: back to the setjmp
// of the call that failed, with the reason kept.
[[noreturn]] void on_error(png_structp png, png_const_charp message) {
  auto* reason = static_cast<std::string*>(png_get_error_ptr(png));
  if (reason != nullptr) *reason = message != nullptr ? message : "the PNG cannot be written";
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void write_to_file(png_structp png, png_bytep data, png_size_t size) {
  auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, size, file) != size) png_error(png, errno != 0 ? std::strerror(errno) : "the picture cannot be written");
}

void flush_file(png_structp png) { std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png))); }

}  // namespace

PngRows::PngRows(std::FILE* out, int width, int height, bool opaque)
    : width_(width), opaque_(opaque), row_(static_cast<std::size_t>(width) * 4) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error_, on_error, on_warning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  png_ = png;
  info_ = info;
  if (png == nullptr || info == nullptr) {
    failed_ = true;
    error_ = "out of memory";
    return;
  }
  if (setjmp(png_jmpbuf(png))) {
    failed_ = true;
    return;
  }
  png_set_write_fn(png, out, write_to_file, flush_file);
  // Pictures of strokes deflate well at the fast levels, and far sooner.
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
}

PngRows::~PngRows() {
  auto png = static_cast<png_structp>(png_);
  auto info = static_cast<png_infop>(info_);
  if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
}

bool PngRows::write(cairo_surface_t* band) {
  if (failed_) return false;
  auto png = static_cast<png_structp>(png_);
  cairo_surface_flush(band);
  const unsigned char* data = cairo_image_surface_get_data(band);
  const int stride = cairo_image_surface_get_stride(band);
  const int rows = cairo_image_surface_get_height(band);
  if (data == nullptr || cairo_image_surface_get_width(band) != width_) {
    failed_ = true;
    error_ = "a band of the picture was not drawn";
    return false;
  }
  unsigned char* row = row_.data();
  if (setjmp(png_jmpbuf(png))) {
    failed_ = true;
    return false;
  }
  for (int y = 0; y < rows; ++y) {
    const unsigned char* in = data + static_cast<std::ptrdiff_t>(y) * stride;
    unsigned char* out = row;
    // Premultiplied native 0xAARRGGBB to straight R, G, B (, A).
    for (int x = 0; x < width_; ++x) {
      std::uint32_t argb;
      std::memcpy(&argb, in + 4 * x, 4);
      const unsigned a = argb >> 24;
      unsigned r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
      if (a != 255 && a != 0) {
        r = (r * 255 + a / 2) / a;
        g = (g * 255 + a / 2) / a;
        b = (b * 255 + a / 2) / a;
      }
      *out++ = static_cast<unsigned char>(r);
      *out++ = static_cast<unsigned char>(g);
      *out++ = static_cast<unsigned char>(b);
      if (!opaque_) *out++ = static_cast<unsigned char>(a);
    }
    png_write_row(png, row);
  }
  return true;
}

bool PngRows::finish(std::string& error) {
  auto png = static_cast<png_structp>(png_);
  if (!failed_) {
    if (setjmp(png_jmpbuf(png))) {
      failed_ = true;
    } else {
      png_write_end(png, static_cast<png_infop>(info_));
    }
  }
  if (failed_) error = error_.empty() ? "the PNG cannot be written" : error_;
  return !failed_;
}

}  // namespace kttrv::view
