#include "view/covered_tiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kttrv::view {

CoveredTiles::CoveredTiles(const unsigned char* data, int stride, int width, int first_row, int rows)
    : data_(data), stride_(stride), width_(std::max(0, width)), first_row_(first_row), rows_(std::max(0, rows)),
      columns_((width_ + kTile - 1) / kTile), tile_rows_((rows_ + kTile - 1) / kTile),
      state_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(tile_rows_), kOpen),
      block_columns_((columns_ + kBlock - 1) / kBlock),
      block_rows_((tile_rows_ + kBlock - 1) / kBlock),
      open_in_block_(static_cast<std::size_t>(block_columns_) * static_cast<std::size_t>(block_rows_), 0) {
  for (std::size_t t = 0; t < state_.size(); ++t) ++open_in_block_[block_of(t)];
}

std::size_t CoveredTiles::block_of(std::size_t tile) const {
  const std::size_t tx = tile % static_cast<std::size_t>(columns_), ty = tile / static_cast<std::size_t>(columns_);
  return ty / kBlock * static_cast<std::size_t>(block_columns_) + tx / kBlock;
}

// Calls f(column, row) for every cell of `cell` pixels square within reach
// of the segment, among the cells [c_lo, c_hi] x [r_lo, r_hi] (the band's
// own rows, the picture's columns), until f returns false. The segment is
// cut at each row of cells; its x range there, widened by the reach, gives
// the cells of that row.
template <class F>
bool CoveredTiles::each_cell_of_segment(const Segment& g, int cell, int c_lo, int c_hi, int r_lo, int r_hi,
                                        F&& f) const {
  const double top = std::min(g.y0, g.y1) - g.reach - first_row_, bottom = std::max(g.y0, g.y1) + g.reach - first_row_;
  if (bottom < 0 || top >= rows_) return true;
  const int first_row = std::max(r_lo, static_cast<int>(std::floor(std::max(top, 0.0) / cell)));
  const int last_row = std::min(r_hi, static_cast<int>(std::min<double>(bottom, rows_ - 1) / cell));
  const double dy = g.y1 - g.y0;
  for (int ty = first_row; ty <= last_row; ++ty) {
    // The segment's part within reach of this row of cells (picture rows).
    const double row_top = first_row_ + ty * cell - g.reach, row_bottom = first_row_ + (ty + 1) * cell + g.reach;
    double xa, xb;
    if (std::abs(dy) < 1e-12) {
      xa = std::min(g.x0, g.x1);
      xb = std::max(g.x0, g.x1);
    } else {
      const double ta = std::clamp((row_top - g.y0) / dy, 0.0, 1.0), tb = std::clamp((row_bottom - g.y0) / dy, 0.0, 1.0);
      const double xta = g.x0 + (g.x1 - g.x0) * ta, xtb = g.x0 + (g.x1 - g.x0) * tb;
      xa = std::min(xta, xtb);
      xb = std::max(xta, xtb);
    }
    xa -= g.reach;
    xb += g.reach;
    if (xb < 0 || xa >= width_) continue;
    const int first_column = std::max(c_lo, static_cast<int>(std::max(xa, 0.0)) / cell);
    const int last_column = std::min(c_hi, static_cast<int>(std::min<double>(xb, width_ - 1)) / cell);
    for (int tx = first_column; tx <= last_column; ++tx)
      if (!f(tx, ty)) return false;
  }
  return true;
}

// Every tile within reach of the segment (false: the segment cannot be
// placed).
template <class F>
bool CoveredTiles::each_tile_of_segment(double x0, double y0, double x1, double y1, double reach, F&& f) const {
  if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))) return false;
  const Segment g{x0, y0, x1, y1, reach};
  return each_cell_of_segment(g, kTile, 0, columns_ - 1, 0, tile_rows_ - 1, [&](int tx, int ty) {
    return f(static_cast<std::size_t>(ty) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(tx));
  });
}

// The same for a box (picture coordinates; false: it cannot be placed).
template <class F>
bool CoveredTiles::each_cell_of_box(double x0, double y0, double x1, double y1, int cell, int c_lo, int c_hi,
                                    int r_lo, int r_hi, F&& f) const {
  if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))) return false;
  y0 -= first_row_;
  y1 -= first_row_;
  if (y1 < 0 || y0 >= rows_ || x1 < 0 || x0 >= width_) return true;
  const int first_row = std::max(r_lo, static_cast<int>(std::max(y0, 0.0)) / cell);
  const int last_row = std::min(r_hi, static_cast<int>(std::min<double>(y1, rows_ - 1)) / cell);
  const int first_column = std::max(c_lo, static_cast<int>(std::max(x0, 0.0)) / cell);
  const int last_column = std::min(c_hi, static_cast<int>(std::min<double>(x1, width_ - 1)) / cell);
  for (int ty = first_row; ty <= last_row; ++ty)
    for (int tx = first_column; tx <= last_column; ++tx)
      if (!f(tx, ty)) return false;
  return true;
}

template <class F>
bool CoveredTiles::each_tile_of_box(double x0, double y0, double x1, double y1, F&& f) const {
  return each_cell_of_box(x0, y0, x1, y1, kTile, 0, columns_ - 1, 0, tile_rows_ - 1, [&](int tx, int ty) {
    return f(static_cast<std::size_t>(ty) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(tx));
  });
}

// A block of tiles covered as a whole is passed over at once; a tile not
// yet covered as a whole may still be opaque where the segment falls: its
// pixels within reach are looked at, row by row.
bool CoveredTiles::hides_segment(double x0, double y0, double x1, double y1, double reach) const {
  if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))) return false;
  const Segment g{x0, y0, x1, y1, reach};
  return each_cell_of_segment(g, kBlock * kTile, 0, block_columns_ - 1, 0, block_rows_ - 1, [&](int bx, int by) {
    if (open_in_block_[static_cast<std::size_t>(by) * static_cast<std::size_t>(block_columns_) +
                       static_cast<std::size_t>(bx)] == 0)
      return true;
    return each_cell_of_segment(
        g, kTile, bx * kBlock, std::min(columns_ - 1, bx * kBlock + kBlock - 1), by * kBlock,
        std::min(tile_rows_ - 1, by * kBlock + kBlock - 1), [&](int tx, int ty) {
          const std::size_t t = static_cast<std::size_t>(ty) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(tx);
          return state_[t] == kCovered || opaque_under(t, x0, y0, x1, y1, reach);
        });
  });
}

bool CoveredTiles::opaque_under(std::size_t tile, double x0, double y0, double x1, double y1, double reach) const {
  const int tx = static_cast<int>(tile % static_cast<std::size_t>(columns_));
  const int ty = static_cast<int>(tile / static_cast<std::size_t>(columns_));
  const int x_begin = tx * kTile, x_end = std::min(width_, (tx + 1) * kTile);
  const int y_end = std::min(rows_, (ty + 1) * kTile);
  const double dy = y1 - y0;
  for (int y = ty * kTile; y < y_end; ++y) {
    const double row_top = first_row_ + y - reach, row_bottom = first_row_ + y + 1 + reach;
    if (std::max(y0, y1) < row_top || std::min(y0, y1) > row_bottom) continue;
    double xa, xb;
    if (std::abs(dy) < 1e-12) {
      xa = std::min(x0, x1);
      xb = std::max(x0, x1);
    } else {
      const double ta = std::clamp((row_top - y0) / dy, 0.0, 1.0), tb = std::clamp((row_bottom - y0) / dy, 0.0, 1.0);
      const double xta = x0 + (x1 - x0) * ta, xtb = x0 + (x1 - x0) * tb;
      xa = std::min(xta, xtb);
      xb = std::max(xta, xtb);
    }
    const int from = std::max(x_begin, static_cast<int>(std::floor(std::max(xa - reach, -1.0))));
    const int to = std::min(x_end - 1, static_cast<int>(std::floor(std::min<double>(xb + reach, width_))));
    const unsigned char* row = data_ + static_cast<std::ptrdiff_t>(y) * stride_;
    for (int x = from; x <= to; ++x) {
      uint32_t px;
      std::memcpy(&px, row + static_cast<std::ptrdiff_t>(x) * 4, 4);
      if ((px >> 24) < kOpaque) return false;
    }
  }
  return true;
}

// Block by block first: a big box on a covered picture costs its blocks.
bool CoveredTiles::hides_box(double x0, double y0, double x1, double y1) const {
  return each_cell_of_box(x0, y0, x1, y1, kBlock * kTile, 0, block_columns_ - 1, 0, block_rows_ - 1, [&](int bx, int by) {
    if (open_in_block_[static_cast<std::size_t>(by) * static_cast<std::size_t>(block_columns_) +
                       static_cast<std::size_t>(bx)] == 0)
      return true;
    return each_cell_of_box(x0, y0, x1, y1, kTile, bx * kBlock, std::min(columns_ - 1, bx * kBlock + kBlock - 1),
                            by * kBlock, std::min(tile_rows_ - 1, by * kBlock + kBlock - 1), [&](int tx, int ty) {
                              return state_[static_cast<std::size_t>(ty) * static_cast<std::size_t>(columns_) +
                                            static_cast<std::size_t>(tx)] == kCovered;
                            });
  });
}

bool CoveredTiles::drawing_segment(double x0, double y0, double x1, double y1, double reach, Box* open) {
  int c0 = columns_, r0 = tile_rows_, c1 = -1, r1 = -1;
  each_tile_of_segment(x0, y0, x1, y1, reach, [&](std::size_t t) {
    if (state_[t] == kCovered) return true;
    dirty(t);
    const int c = static_cast<int>(t % static_cast<std::size_t>(columns_));
    const int r = static_cast<int>(t / static_cast<std::size_t>(columns_));
    c0 = std::min(c0, c);
    c1 = std::max(c1, c);
    r0 = std::min(r0, r);
    r1 = std::max(r1, r);
    return true;
  });
  if (c1 < 0) return false;
  if (open != nullptr)
    *open = {double(c0 * kTile), double(first_row_ + r0 * kTile), double((c1 + 1) * kTile),
             double(first_row_ + (r1 + 1) * kTile)};
  return true;
}

void CoveredTiles::drawing_box(double x0, double y0, double x1, double y1) {
  each_tile_of_box(x0, y0, x1, y1, [this](std::size_t t) {
    dirty(t);
    return true;
  });
}

bool CoveredTiles::tile_opaque(std::size_t tile) const {
  const int tx = static_cast<int>(tile % static_cast<std::size_t>(columns_));
  const int ty = static_cast<int>(tile / static_cast<std::size_t>(columns_));
  const int x_end = std::min(width_, (tx + 1) * kTile), y_end = std::min(rows_, (ty + 1) * kTile);
  for (int y = ty * kTile; y < y_end; ++y) {
    const unsigned char* row = data_ + static_cast<std::ptrdiff_t>(y) * stride_;
    for (int x = tx * kTile; x < x_end; ++x) {
      uint32_t px;
      std::memcpy(&px, row + static_cast<std::ptrdiff_t>(x) * 4, 4);
      if ((px >> 24) < kOpaque) return false;
    }
  }
  return true;
}

void CoveredTiles::update() {
  for (const uint32_t tile : dirty_) {
    if (tile_opaque(tile)) {
      state_[tile] = kCovered;
      --open_in_block_[block_of(tile)];
    } else {
      state_[tile] = kOpen;
    }
  }
  dirty_.clear();
}

}  // namespace kttrv::view
