// Test support: valid drawings that ask for a great deal of work once their
// inserts are followed — nested inserts, a long polyline inserted many times,
// large circles and arcs, millions of points, many texts inserted many times.
// Every byte is what a writer could have written; only the sizes are hostile.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/sample_drawing.h"

namespace hostile {

using Drawing = std::vector<unsigned char>;

struct Case {
  const char* name;
  Drawing (*make)();
};

namespace detail {

inline PropsBlock on_layer() { return PropsBlock().layer(0).color(256); }

inline Bytes line(double x1, double y1, double x2, double y2) {
  return entity(2, on_layer(), Bytes().pt3(x1, y1, 0).pt3(x2, y2, 0));
}
inline Bytes circle(double x, double y, double r) { return entity(3, on_layer(), Bytes().pt3(x, y, 0).f64(r)); }
inline Bytes arc(double x, double y, double r, double from, double to) {
  return entity(4, on_layer(), Bytes().pt3(x, y, 0).f64(r).f64(from).f64(to));
}
inline Bytes text(double x, double y, double height, const std::string& s) {
  sample::Record t(94);
  t.pt3(0, x, y, 0).at(24, height).at<int32_t>(32, 1).at(36, 0.0).at(44, 1.0).at<int32_t>(60, 1);
  return entity(7, on_layer(), Bytes(t.bytes()).str(s).str("STANDARD"));
}
// An insert with its scale and rotation (degrees) given, nothing else.
inline Bytes insert(const std::string& block, double x, double y, double scale = 1, double rotation_deg = 0) {
  return entity(23, on_layer(), Bytes().i32(0x2 | 0x4 | 0x8 | 0x20).pt3(x, y, 0).str(block).f64(scale).f64(scale)
                                    .f64(rotation_deg));
}
// A polyline of n vertices along a zigzag.
inline Bytes polyline(uint32_t n) {
  sample::Record pl(58);
  pl.at<int32_t>(26, 0x1).at<int32_t>(54, 1);
  Bytes b(pl.bytes());
  b.u32(n);
  for (uint32_t i = 0; i < n; ++i)
    b.append(PropsBlock().bytes()).i32(0x8).pt3(i * 0.01, (i % 2) * 0.5, 0).i16(0);
  return entity(13, on_layer(), b);
}
// A point set (kind 28) of n points on a grid starting at row.
inline Bytes point_set(uint32_t n, uint32_t row) {
  Bytes b;
  b.i32(n).u16(0).f64(0).i32(0).i32(0);
  for (uint32_t i = 0; i < n; ++i) b.pt2((i % 1000) * 1.0, row + (i / 1000) * 1.0);
  return entity(28, on_layer(), b);
}

// A block: flags, base point, name, then its entity stream.
inline Bytes block(const std::string& name, uint32_t count, const Bytes& records) {
  return Bytes().u32(0x123).f64(0).f64(0).str(name).append(entity_section(count, records));
}

inline std::vector<unsigned char> file(uint32_t block_count, const Bytes& blocks, uint32_t count, const Bytes& records) {
  return TorvFile("HALD 2002")
      .section(kSlotSysVars, sample::sysvars())
      .section(kSlotLayers, sample::layers())
      .section(kSlotTextStyles, sample::text_styles())
      .section(kSlotDimStyles, sample::dim_styles())
      .section(kSlotBlocks, Bytes().u32(block_count).append(blocks))
      .section(kSlotEntities, entity_section(count, records))
      .build();
}

}  // namespace detail

// 16 levels of blocks, each inserting the one below three times; the
// lowest holds a line, a circle and a text: 3^16 × 3 drawables once placed.
inline Drawing nested_inserts() {
  using namespace detail;
  Bytes blocks;
  blocks.append(block("L0", 3, Bytes().append(line(0, 0, 1, 1)).append(circle(0.5, 0.5, 0.5)).append(text(0, 0, 0.2, "L0"))));
  for (int level = 1; level < 16; ++level) {
    const std::string below = "L" + std::to_string(level - 1);
    const double step = std::pow(3.0, level - 1) * 1.2;
    blocks.append(block("L" + std::to_string(level), 3,
                        Bytes().append(insert(below, 0, 0)).append(insert(below, step, 0)).append(insert(below, 0, step))));
  }
  const double step = std::pow(3.0, 15) * 1.2;
  return file(16, blocks, 3,
              Bytes().append(insert("L15", 0, 0)).append(insert("L15", step, 0)).append(insert("L15", 0, step)));
}

// A block of one 100,000-vertex polyline, inserted 1,000 times, each turned
// a little: 10^8 vertices once placed. (Inserts that neither turn nor shear
// would let the extents take the block's extremes once per insert.)
inline Drawing long_polyline() {
  using namespace detail;
  Bytes inserts;
  for (int i = 0; i < 1000; ++i) inserts.append(insert("P", (i % 10) * 1100.0, (i / 10) * 2.0, 1.0, 0.05 * i));
  return file(1, block("P", 1, polyline(100'000)), 1000, inserts);
}

// A block of 500 circles and 500 arcs as large as the picture, inserted
// 1,000 times, and 20,000 more in the model space: each costs its chords.
inline Drawing large_arcs() {
  using namespace detail;
  Bytes arcs;
  for (int i = 0; i < 500; ++i) {
    arcs.append(circle(0, 0, 1e5 + i));
    arcs.append(arc(0, 0, 1e5 - i, 0.1 * i, 0.1 * i + 5.5));
  }
  Bytes model;
  for (int i = 0; i < 1000; ++i) model.append(insert("ARCS", (i % 5) * 10.0, (i / 5) * 10.0, 1.0, 0.3 * i));
  for (int i = 0; i < 10'000; ++i) model.append(circle(i * 0.1, 0, 2e5 + i)).append(arc(0, i * 0.1, 2e5, 0, 6));
  return file(1, block("ARCS", 1000, arcs), 21'000, model);
}

// 5,000,000 points in 50 point sets of 100,000 each.
inline Drawing five_million_points() {
  using namespace detail;
  Bytes model;
  for (uint32_t i = 0; i < 50; ++i) model.append(point_set(100'000, i * 100));
  return file(0, Bytes(), 50, model);
}

// A block of 1,000 texts inserted 1,000 times, the inserts on top of one
// another so that every glyph is large enough to draw: 10^6 texts,
// 3 × 10^7 glyphs.
inline Drawing many_texts() {
  using namespace detail;
  Bytes texts;
  for (int i = 0; i < 1000; ++i)
    texts.append(text((i % 10) * 100.0, (i / 10) * 10.0, 8.0, "Room " + std::to_string(i) + " north wing ABCDEFGH"));
  Bytes model;
  for (int i = 0; i < 1000; ++i) model.append(insert("T", (i % 10) * 3.0, (i / 10) * 3.0));
  return file(1, block("T", 1000, texts), 1000, model);
}

inline std::vector<Case> all() {
  return {{"nested_inserts", nested_inserts}, {"long_polyline", long_polyline}, {"large_arcs", large_arcs},
          {"five_million_points", five_million_points}, {"many_texts", many_texts}};
}

}  // namespace hostile
