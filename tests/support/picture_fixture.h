// Test support for pictures: small drawings of lines and points on three
// layers, and a rendered PNG read back pixel by pixel.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/floor_plan.h"
#include "tests/support/torv_builder.h"

namespace picture_fixture {

// Layers: 0 "RED" (colour 1), 1 "BLUE" (colour 5), 2 "OFF" (red, off).
inline Bytes three_layers() {
  return Bytes().u32(3).append(sample::layer("RED", 0, 1, 0)).append(sample::layer("BLUE", 0, 5, 0)).append(
      sample::layer("OFF", 0, -1, 0));
}

inline Bytes line_on(int layer, double x1, double y1, double x2, double y2) {
  return entity(2, PropsBlock().layer(layer), Bytes().pt3(x1, y1, 0).pt3(x2, y2, 0));
}
inline Bytes point_on(int layer, double x, double y) { return entity(1, PropsBlock().layer(layer), Bytes().pt2(x, y).zeros(16)); }

inline Bytes records(const std::vector<Bytes>& list) {
  Bytes b;
  for (const Bytes& r : list) b.append(r);
  return entity_section(static_cast<uint32_t>(list.size()), b);
}

inline std::vector<unsigned char> drawing_of(const std::vector<Bytes>& model, const Bytes& blocks = {}) {
  TorvFile f("HALD 2002");
  f.section(kSlotLayers, three_layers());
  if (blocks.size() != 0) f.section(kSlotBlocks, blocks);
  return f.section(kSlotEntities, records(model)).build();
}

inline Bytes one_block(const std::string& name, double bx, double by, const std::vector<Bytes>& entities) {
  return Bytes().u32(1).append(floor_plan::block(name, bx, by, entities));
}

// A rendered PNG read back.
class Picture {
 public:
  explicit Picture(const std::string& path) : s_(cairo_image_surface_create_from_png(path.c_str())) {}
  ~Picture() { cairo_surface_destroy(s_); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  bool ok() const { return cairo_surface_status(s_) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(s_); }
  int height() const { return cairo_image_surface_get_height(s_); }
  // 0xRRGGBB of a pixel (opaque pictures).
  uint32_t at(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(s_) + y * cairo_image_surface_get_stride(s_);
    uint32_t argb;
    std::memcpy(&argb, row + 4 * x, 4);
    return argb & 0xFFFFFF;
  }
  // Mostly red, mostly blue: a one-pixel line on a pixel edge covers half of
  // two pixels.
  bool red(int x, int y) const { return leans(at(x, y), 16); }
  bool blue(int x, int y) const { return leans(at(x, y), 0); }
  long count(bool (Picture::*is)(int, int) const) const {
    long n = 0;
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x) n += (this->*is)(x, y);
    return n;
  }
  // Every pixel, row by row, as at() gives it.
  std::vector<uint32_t> pixels() const {
    std::vector<uint32_t> all;
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x) all.push_back(at(x, y));
    return all;
  }
  long count(uint32_t colour) const {
    long n = 0;
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x) n += at(x, y) == colour;
    return n;
  }

 private:
  static bool leans(uint32_t c, int shift) {
    for (int channel : {0, 8, 16}) {
      const uint32_t v = (c >> channel) & 0xFF;
      if (channel == shift ? v < 0xF0 : v > 0xA0) return false;
    }
    return true;
  }
  cairo_surface_t* s_;
};

}  // namespace picture_fixture
