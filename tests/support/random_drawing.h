// Test support: random "HALD 2002" files that hold every kind of record the
// loader reads, blocks with nested inserts and dimension styles, with odd
// doubles in every field: -0.0, subnormals, huge values, infinities and NaNs
// with payloads (quiet and signalling).
#pragma once

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/support/entity_builder.h"
#include "tests/support/torv_builder.h"

class RandomDrawing {
 public:
  explicit RandomDrawing(uint64_t seed) : rng_(seed) {}

  std::vector<unsigned char> file() {
    TorvFile f("HALD 2002");
    const int layers = pick(0, 4);
    layer_count_ = layers;
    if (layers > 0 || chance(2)) f.section(kSlotLayers, layer_table(layers));
    if (chance(2)) f.section(kSlotTextStyles, style_table(pick(0, 3)));
    if (chance(2)) f.section(kSlotDimStyles, dim_style_table(pick(0, 3)));
    const int blocks = pick(0, 4);
    if (blocks > 0) f.section(kSlotBlocks, block_section(blocks));
    f.section(kSlotEntities, stream(pick(0, 40), true));
    return f.build();
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int one_in) { return pick(1, one_in) == 1; }

  double real() {
    switch (pick(0, 12)) {
      case 0: return -0.0;
      case 1: return 0.0;
      case 2: return std::bit_cast<double>(rng_() & 0x000FFFFFFFFFFFFFull);  // subnormal
      case 3: return (chance(2) ? 1 : -1) * std::numeric_limits<double>::max() / pick(1, 1000);
      case 4: return chance(2) ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
      case 5: return std::bit_cast<double>(0x7FF8000000000000ull | (rng_() & 0x8007FFFFFFFFFFFFull));  // quiet NaN
      case 6: return std::bit_cast<double>(0x7FF0000000000001ull | (rng_() & 0x8003FFFFFFFFFFFFull));  // signalling
      case 7: return pick(-360, 720) / 4.0;
      case 8: return std::bit_cast<double>(rng_());  // any bits
      default: return std::uniform_real_distribution<double>(-1e6, 1e6)(rng_);
    }
  }
  std::string name(int max = 40) {
    std::string s(static_cast<std::size_t>(pick(0, max)), 'a');
    for (char& c : s) c = static_cast<char>(pick(0, 5) == 0 ? ' ' : pick(0x21, 0xFE));
    return s;
  }

  Bytes layer_table(int n) {
    Bytes b;
    b.u32(static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) b.i32(1).u8(pick(0, 255)).u8(0).i16(pick(-300, 300)).u16(pick(0, 65535)).zeros(2).str(name());
    return b;
  }
  Bytes style_table(int n) {
    static const char* const kFonts[] = {"", "TXT", "c:\\fonts\\Arial.TTF", "simsun.ttc", "romans.shx", "a.b.c"};
    Bytes b;
    b.u32(static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
      const char* font = kFonts[pick(0, 5)];
      const char* big = kFonts[pick(0, 5)];
      b.i32(1).u8(pick(0, 255)).zeros(9).f64(real()).f64(real()).zeros(2).f64(real());
      b.i32(*font ? 1 : 0).i32(*big ? 1 : 0).zeros(8).str(name());
      if (*font) b.str(font);
      if (*big) b.str(big);
      const std::string f = font;
      if (f.size() > 4 && (f.substr(f.size() - 4) == ".TTF" || f.substr(f.size() - 4) == ".ttc")) b.str("");
    }
    return b;
  }
  Bytes dim_style_table(int n) {
    Bytes b;
    b.u32(static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
      Bytes rec;
      rec.i32(1).zeros(2);
      const bool dropped = chance(3);
      for (int f = 0; f < 5; ++f) rec.i32(dropped ? 1 : 0);
      for (int r = 0; r < 17; ++r) rec.f64(r == 5 || r == 15 ? pick(-1000, 1000) / 3.0 : real());  // 74, 146 as numbers
      rec.zeros(12).i16(pick(-32768, 32767)).i16(pick(-32768, 32767)).u8(pick(0, 255)).u8(0).i16(pick(-32768, 32767));
      rec.zeros(8).i16(pick(-32768, 32767)).i16(pick(-32768, 32767)).i16(pick(-32768, 32767));
      rec.i32(0).i32(0).i32(1).zeros(8);
      b.append(rec).str(name(31));
      if (dropped)
        for (int f = 0; f < 5; ++f) b.str(name(31));
      b.str(name(31));
    }
    return b;
  }
  Bytes block_section(int n) {
    Bytes b;
    b.u32(static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
      const uint32_t flags = static_cast<uint32_t>(pick(0, 0x1FF));
      b.u32(flags);
      if (flags & 0x8) b.i16(1);
      if (flags & 0x10) b.i16(2);
      for (uint32_t bit : {0x1u, 0x2u, 0x4u})
        if (flags & bit) b.f64(real());
      if (flags & 0x20) b.str(name());
      if (flags & 0x80) b.str(name(63));
      if (flags & 0x40) b.str(name(31));
      if (flags & 0x100) {
        const int count = pick(0, 8);
        b.u32(static_cast<uint32_t>(count)).append(records(count, false));
      }
    }
    return b;
  }
  Bytes stream(int count, bool model_space) { return Bytes().u32(static_cast<uint32_t>(count)).append(records(count, model_space)); }

  PropsBlock props() {
    PropsBlock p;
    if (chance(2)) p.layer(chance(4) ? pick(-32768, 32767) : pick(-1, layer_count_ + 1));
    if (chance(2)) p.color(chance(5) ? pick(-32768, 32767) : pick(-1, 256));
    if (chance(4)) p.linetype(pick(-2, 5));
    if (chance(5)) p.extrusion(0.0, 0.0, chance(2) ? -1.0 : -0.5);
    if (chance(6)) p.xdata(1, Bytes().i16(1000).str("x"));
    return p;
  }
  Bytes text_payload(int kind) {
    Bytes b;
    const char* const kTexts[] = {"   ", "", "a b", "\t"};
    std::string text = chance(2) ? kTexts[pick(0, 3)] : name();
    const bool has_text = !chance(5);
    const bool has_style = chance(2);
    b.f64(real()).f64(real()).f64(real()).f64(real());
    if (kind == 7) {
      b.i32(has_text).f64(real()).f64(real()).zeros(8).i32(has_style).zeros(30);
      if (has_text) b.str(text);
    } else {
      const bool s1 = chance(2), s3 = chance(2);
      b.i32(s1).i32(s3).i32(has_text).zeros(4).f64(real()).f64(real()).zeros(8).i32(has_style).zeros(30);
      if (s1) b.str(name());
      if (has_text) b.str(text);
      if (s3) b.str(name());
    }
    if (has_style) b.str(name());
    return b;
  }
  Bytes insert_payload() {
    const int32_t mask = pick(0, 0x7FF) & ~0x400;
    Bytes b;
    b.i32(mask).f64(real()).f64(real()).f64(real());
    if (mask & 0x1) b.i16(3);
    if (mask & 0x2) b.str(name());
    for (int32_t bit : {0x4, 0x8})
      if (mask & bit) b.f64(real());
    if (mask & 0x10) b.f64(real()).f64(real());
    if (mask & 0x20) b.f64(real());
    if (mask & 0x40) b.i16(1);
    if (mask & 0x80) b.i16(1);
    if (mask & 0x100) b.f64(real());
    if (mask & 0x200) b.f64(real());
    return b;
  }
  Bytes dimension_payload() {
    Bytes b;
    const int32_t present[3] = {pick(0, 1), pick(0, 1), pick(0, 1)};
    for (int32_t p : present) b.i32(p);
    for (int i = 0; i < 7 * 3 + 6; ++i) b.f64(real());
    b.i16(pick(-32768, 32767));
    for (int s : {1, 2, 0})
      if (present[s]) b.str(name());
    return b;
  }
  Bytes polyline_payload() {
    Bytes b;
    const int32_t flags = pick(0, 7);
    const bool vertices = !chance(4);
    b.zeros(26).i32(flags).zeros(24).i32(vertices);
    if (!vertices) return b;
    const int n = pick(0, 5);
    b.u32(static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
      const int32_t mask = chance(2) ? 0x8 : pick(0, 0x1FF);
      b.append(PropsBlock().bytes()).i32(mask).f64(real()).f64(real()).f64(real());
      for (int32_t bit : {0x1, 0x2, 0x4})
        if (mask & bit) b.f64(1.0);
      if (mask & 0x8) b.i16(pick(0, 2) == 0 ? 0x80 : pick(0, 0x1F));
      if (mask & 0x10) b.f64(2.0);
      for (int32_t bit : {0x20, 0x40, 0x80, 0x100})
        if (mask & bit) b.i16(4);
    }
    return b;
  }
  Bytes chain_payload() {
    Bytes b;
    const int n = pick(-1, 6);
    const int32_t extras = pick(-1, 1);
    b.i32(n).u16(chance(2) ? 0x200 : 0).f64(0.0).i32(0).i32(extras);
    for (int i = 0; i < n; ++i) b.f64(real()).f64(real());
    if (extras > 0)
      for (int i = 0; i < n * 3; ++i) b.f64(real());
    return b;
  }

  Bytes records(int count, bool model_space) {
    Bytes b;
    for (int i = 0; i < count; ++i) {
      static const int kKinds[] = {1, 2, 3, 4, 5, 6, 7, 8, 11, 13, 17, 18, 23, 28, 9};
      const int kind = kKinds[pick(0, 14)];
      Bytes payload;
      switch (kind) {
        case 1: case 3: for (int k = 0; k < 4; ++k) payload.f64(real()); break;
        case 2: case 4: for (int k = 0; k < 6; ++k) payload.f64(real()); break;
        case 5: case 6: for (int k = 0; k < 12; ++k) payload.f64(real()); break;
        case 7: case 11: payload = text_payload(kind); break;
        case 8: payload.zeros(32).i32(1).zeros(24).str(name()); break;
        case 13: payload = polyline_payload(); break;
        case 17: payload.zeros(98); break;
        case 18: payload = dimension_payload(); break;
        case 23: payload = insert_payload(); break;
        case 28: payload = chain_payload(); break;
        default: break;
      }
      b.append(entity(kind, props(), payload));
    }
    (void)model_space;
    return b;
  }

  std::mt19937_64 rng_;
  int layer_count_ = 0;
};
