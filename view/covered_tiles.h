// Which parts of a band's image are opaque already, for a picture drawn
// from the top down (the last drawable first, each put under what is
// there): a pixel that is opaque keeps its colour whatever comes under it
// (within 3 levels: opaque counts from an alpha of 252), so a stroke, fill
// or text that falls only on such pixels need not be drawn. The band's
// image is cut into tiles of 8 x 8 pixels, and those into blocks of 8 x 8
// tiles; a tile counts as covered when every pixel of it is opaque, which
// is looked at again for the tiles drawn on since the last look, and a
// block when all its tiles are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kttrv::view {

class CoveredTiles {
 public:
  static constexpr int kTile = 8;
  // A pixel counts as opaque from this alpha up: what is drawn under it
  // adds at most 3 levels of 255 to its colour.
  static constexpr unsigned kOpaque = 252;

  // The band's ARGB32 image (premultiplied, cairo's layout): its first
  // row is the picture's row `first_row`.
  CoveredTiles(const unsigned char* data, int stride, int width, int first_row, int rows);

  // Whether everything within `reach` pixels of the segment from (x0, y0)
  // to (x1, y1), or of the box, falls on covered tiles (or off the band).
  bool hides_segment(double x0, double y0, double x1, double y1, double reach) const;
  bool hides_box(double x0, double y0, double x1, double y1) const;
  // The same places are about to be drawn on.
  // The box of the tiles within reach of the segment that are not covered
  // (picture coordinates); false: none.
  struct Box {
    double x0, y0, x1, y1;
  };
  bool drawing_segment(double x0, double y0, double x1, double y1, double reach, Box* open = nullptr);
  void drawing_box(double x0, double y0, double x1, double y1);
  // Looks at the tiles drawn on since the last call (the image must be
  // up to date).
  void update();

 private:
  struct Segment {
    double x0, y0, x1, y1, reach;
  };
  template <class F>
  bool each_cell_of_segment(const Segment& g, int cell, int c_lo, int c_hi, int r_lo, int r_hi, F&& f) const;
  template <class F>
  bool each_tile_of_segment(double x0, double y0, double x1, double y1, double reach, F&& f) const;
  template <class F>
  bool each_cell_of_box(double x0, double y0, double x1, double y1, int cell, int c_lo, int c_hi, int r_lo, int r_hi,
                        F&& f) const;
  template <class F>
  bool each_tile_of_box(double x0, double y0, double x1, double y1, F&& f) const;
  void dirty(std::size_t tile) {
    if (state_[tile] == kOpen) {
      state_[tile] = kDirty;
      dirty_.push_back(static_cast<uint32_t>(tile));
    }
  }
  bool tile_opaque(std::size_t tile) const;
  bool opaque_under(std::size_t tile, double x0, double y0, double x1, double y1, double reach) const;

  static constexpr uint8_t kOpen = 0, kDirty = 1, kCovered = 2;
  const unsigned char* data_;
  int stride_, width_, first_row_, rows_;
  int columns_, tile_rows_;
  std::vector<uint8_t> state_;
  std::vector<uint32_t> dirty_;
  // Blocks of kBlock x kBlock tiles, each with its tiles not yet covered.
  static constexpr int kBlock = 8;
  std::size_t block_of(std::size_t tile) const;
  int block_columns_, block_rows_;
  std::vector<uint16_t> open_in_block_;
};

}  // namespace kttrv::view
