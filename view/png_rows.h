// A PNG written row by row as its bands are drawn (libpng), so that no
// more than a band of the picture is held at once.
#pragma once

#include <cairo.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kttrv::view {

class PngRows {
 public:
  // opaque: RGB rows (the picture has a background); else RGBA.
  PngRows(std::FILE* out, int width, int height, bool opaque);
  ~PngRows();
  PngRows(const PngRows&) = delete;
  PngRows& operator=(const PngRows&) = delete;

  // The rows of an image surface (CAIRO_FORMAT_ARGB32) of the picture's width.
  bool write(cairo_surface_t* band);
  // The end of the picture; false (with the reason) if anything failed.
  bool finish(std::string& error);

 private:
  void* png_ = nullptr;   // png_structp
  void* info_ = nullptr;  // png_infop
  int width_;
  bool opaque_;
  bool failed_ = false;
  std::string error_;
  std::vector<unsigned char> row_;
};

}  // namespace kttrv::view
