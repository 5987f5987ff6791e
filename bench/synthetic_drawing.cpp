#include "bench/synthetic_drawing.h"

#include <array>
#include <cstdio>
#include <string>

#include "tests/support/sample_drawing.h"

namespace synth {

namespace {

// A small deterministic generator, so every run with one seed writes the
// same file; it carries the names' tag of that seed.
struct Lcg {
  uint64_t state = 0x2545F4914F6CDD1DULL;
  std::string tag;  // behind every table and block name; empty for seed 0
  uint32_t next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
  }
  double coord() { return static_cast<double>(next() % 100000) / 10.0; }
};

// Shares of the mix, in per mille.
constexpr std::array<std::pair<Mix, int>, 11> kShares{{
    {Mix::lines, 400}, {Mix::arcs, 80}, {Mix::circles, 80}, {Mix::texts, 100}, {Mix::polylines, 60},
    {Mix::point_chains, 60}, {Mix::inserts, 50}, {Mix::dimensions, 50}, {Mix::points, 40},
    {Mix::solids, 40}, {Mix::skipped, 40}}};

Mix pick(Lcg& rng) {
  int roll = static_cast<int>(rng.next() % 1000);
  for (const auto& [mix, share] : kShares) {
    if (roll < share) return mix;
    roll -= share;
  }
  return Mix::lines;
}

// Most records carry a layer and a colour; one in eight also carries xdata.
PropsBlock props(Lcg& rng, uint32_t layers) {
  PropsBlock p;
  p.layer(static_cast<int>(rng.next() % (layers ? layers : 1))).color(static_cast<int>(rng.next() % 258) - 1);
  if (rng.next() % 8 == 0) p.xdata(2, Bytes().i16(1000).str("synthetic").i16(1040).f64(1.5));
  return p;
}

std::string style_name(uint32_t i, const Lcg& rng) { return "STYLE" + std::to_string(i) + rng.tag; }
std::string block_name(uint32_t i, const Lcg& rng) { return "BLOCK" + std::to_string(i) + rng.tag; }

// The generator of a seed: 0 gives the one every earlier drawing was made
// with, and no tag.
Lcg seeded(uint64_t seed) {
  Lcg rng;
  if (seed == 0) return rng;
  rng.state ^= seed * 0x9E3779B97F4A7C15ULL;
  rng.next();
  char tag[24];
  std::snprintf(tag, sizeof tag, "-%llX", static_cast<unsigned long long>(seed));
  rng.tag = tag;
  return rng;
}

void append_record(Bytes& out, Mix mix, Lcg& rng, uint32_t layers, uint32_t styles, uint32_t blocks) {
  const PropsBlock p = props(rng, layers);
  const double x = rng.coord(), y = rng.coord();
  switch (mix) {
    case Mix::lines:
      out.append(entity(2, p, Bytes().pt3(x, y, 0).pt3(rng.coord(), rng.coord(), 0)));
      break;
    case Mix::arcs:
      out.append(entity(4, p, Bytes().pt3(x, y, 0).f64(5).f64(0.5).f64(2.5)));
      break;
    case Mix::circles:
      out.append(entity(3, p, Bytes().pt3(x, y, 0).f64(2.5)));
      break;
    case Mix::texts: {
      sample::Record text(94);
      text.pt3(0, x, y, 0).at(24, 2.5).at<int32_t>(32, 1).at(36, 0.0).at(44, 1.0).at<int32_t>(60, 1);
      out.append(entity(7, p, Bytes(text.bytes()).str("Room " + std::to_string(rng.next() % 1000))
                                 .str(style_name(rng.next() % (styles ? styles : 1), rng))));
      break;
    }
    case Mix::polylines: {
      sample::Record pl(58);
      pl.at<int32_t>(26, 0x1).at<int32_t>(54, 1);
      const uint32_t n = 4 + rng.next() % 8;
      Bytes b(pl.bytes());
      b.u32(n);
      for (uint32_t i = 0; i < n; ++i) b.append(PropsBlock().bytes()).i32(0x8).pt3(x + i, y + i % 2, 0).i16(0);  // vertex flags only
      out.append(entity(13, p, b));
      break;
    }
    case Mix::point_chains: {
      const uint32_t n = 4 + rng.next() % 12;
      Bytes b;
      b.i32(n).u16(0).f64(0).i32(0).i32(0);
      for (uint32_t i = 0; i < n; ++i) b.pt2(x + i, y - i);
      out.append(entity(28, p, b));
      break;
    }
    case Mix::inserts: {
      const uint32_t attributes = rng.next() % 3;
      Bytes b;
      b.i32(0x7FF).pt3(x, y, 0).i16(0).str(block_name(rng.next() % (blocks ? blocks : 1), rng))
          .f64(1).f64(1).f64(1).f64(0).f64(0).i16(1).i16(1).f64(0).f64(0).u32(attributes);
      for (uint32_t i = 0; i < attributes; ++i)
        b.append(PropsBlock().bytes()).append(sample::Record(102).at<int32_t>(32, 1).at<int32_t>(68, 1).bytes())
            .str("TAG").str("VALUE " + std::to_string(i));
      out.append(entity(23, p, b));
      break;
    }
    case Mix::dimensions: {
      sample::Record dim(230);
      dim.at<int32_t>(0, 1).at<int32_t>(8, 1).pt3(12, x, y, 0).pt3(36, x + 10, y, 0).pt3(60, x, y, 0)
          .at(180, 10.0).at<int16_t>(228, 1);
      out.append(entity(18, p, Bytes(dim.bytes()).str("<>").str("ISO")));
      break;
    }
    case Mix::points:
      out.append(entity(1, p, Bytes().pt2(x, y).zeros(16)));
      break;
    case Mix::solids:
      out.append(entity(5, p, Bytes().pt3(x, y, 0).pt3(x + 1, y, 0).pt3(x, y + 1, 0).pt3(x + 1, y + 1, 0)));
      break;
    case Mix::skipped:
      out.append(entity(17, p, Bytes().zeros(98)));
      break;
  }
}

Bytes stream(uint32_t count, const Mix* only, Lcg& rng, uint32_t layers, uint32_t styles, uint32_t blocks) {
  Bytes b;
  b.u32(count);
  for (uint32_t i = 0; i < count; ++i) append_record(b, only ? *only : pick(rng), rng, layers, styles, blocks);
  return b;
}

}  // namespace

std::vector<unsigned char> entity_stream(uint32_t count, const Mix* only) {
  Lcg rng;
  return stream(count, only, rng, 256, 16, 16).data();
}

std::vector<unsigned char> drawing(const Options& o) {
  Lcg rng = seeded(o.seed);
  Bytes layers;
  layers.u32(o.layers);
  for (uint32_t i = 0; i < o.layers; ++i)
    layers.append(sample::layer(i == 0 ? "0" : "LAYER" + std::to_string(i) + rng.tag, static_cast<int>(i % 4),
                                static_cast<int>(1 + i % 255), static_cast<int>(i % 8)));
  const bool short_styles = o.version == "SELK 97" || o.version == "TORV 98" || o.version == "TORV 99";
  Bytes styles;
  styles.u32(o.text_styles);
  for (uint32_t i = 0; i < o.text_styles; ++i)
    styles.append(sample::text_style(style_name(i, rng), 0, 2.5, 1.0, 0.0, i % 2 ? "simplex.shx" : "txt", "", short_styles));
  Bytes blocks;
  blocks.u32(o.blocks);
  for (uint32_t i = 0; i < o.blocks; ++i) {
    blocks.u32(0x123).f64(0).f64(0).str(block_name(i, rng));
    // A block's stream: count, then records (no nested inserts).
    Bytes s = stream(o.block_entities, nullptr, rng, o.layers, o.text_styles, 0);
    blocks.append(s);
  }
  return TorvFile(o.version)
      .section(kSlotSysVars, sample::sysvars())
      .section(kSlotLayers, layers)
      .section(kSlotTextStyles, styles)
      .section(kSlotDimStyles, sample::dim_styles())
      .section(kSlotBlocks, blocks)
      .section(kSlotEntities, stream(o.entities, nullptr, rng, o.layers, o.text_styles, o.blocks))
      .build();
}

}  // namespace synth
