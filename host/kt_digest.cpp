#include "host/kt_digest.h"

#include <cstring>

#include "kernel/kt_drawables.h"

namespace {

// A multiply-xor mix over the values, a 64-bit word each (every byte of a
// run of bytes, its length included). Each step is one-to-one in the state
// and in the word, so that a change of any one value always changes the
// digest; runs of bytes go through four lanes at once, which keeps long
// vertex lists from waiting on one multiply after another.
class Digest {
 public:
  void bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    mix(n);
    if (n >= 32) {
      uint64_t lane[4] = {1, 2, 3, 4};
      for (; n >= 32; n -= 32, p += 32) {
        uint64_t w[4];
        std::memcpy(w, p, 32);
        for (int i = 0; i < 4; ++i) lane[i] = (lane[i] ^ w[i]) * kMultiplier;
      }
      for (const uint64_t l : lane) mix(l);
    }
    for (; n >= 8; n -= 8, p += 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      mix(word);
    }
    if (n == 0) return;
    uint64_t last = 0;
    std::memcpy(&last, p, n);
    mix(last);
  }
  // A value of at most 8 bytes as one word.
  template <class T>
  void value(const T& v) {
    static_assert(sizeof(T) <= 8);
    uint64_t word = 0;
    std::memcpy(&word, &v, sizeof v);
    mix(word);
  }
  void point(const Ge_Pt& p) {
    value(p.x);
    value(p.y);
    value(p.z);
  }
  void text(const char* s) {
    if (s == nullptr) return mix(~uint64_t{0});
    bytes(s, std::strlen(s));
  }
  // Values of at most 8 bytes each, a word apiece, taken round four lanes
  // that are then folded in one after another: a drawable's dozen values
  // wait on three multiplies one after another instead of a dozen, and
  // each value still changes the digest whatever the others are.
  template <class... T>
  void values(const T&... v) {
    const uint64_t w[] = {word_of(v)...};
    uint64_t lane[4] = {1, 2, 3, 4};
    for (std::size_t i = 0; i < sizeof...(T); ++i) lane[i & 3] = (lane[i & 3] ^ w[i]) * kMultiplier;
    mix(sizeof...(T));
    for (const uint64_t l : lane) mix(l);
  }
  // The high bits of the state folded into the low ones.
  uint64_t result() const {
    uint64_t h = h_ ^ (h_ >> 32);
    h *= kMultiplier;
    return h ^ (h >> 29);
  }

 private:
  static constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;  // odd: multiplying is one-to-one
  template <class T>
  static uint64_t word_of(const T& v) {
    static_assert(sizeof(T) <= 8);
    uint64_t word = 0;
    std::memcpy(&word, &v, sizeof v);
    return word;
  }
  void mix(uint64_t word) { h_ = (h_ ^ word) * kMultiplier; }
  uint64_t h_ = 0xcbf29ce484222325ULL;
};

}  // namespace

uint64_t kt_digest(const KT_Drawable& d) {
  Digest h;
  // What every drawable holds, with each kind's values of fixed size in the
  // same round of lanes; strings and vertices follow.
#define KT_HEAD d.kind, d.color, d.third, d.layer
#define KT_PT(p) (p).x, (p).y, (p).z
  switch (d.kind) {
    case KT_Drawable_Kind::point: {
      const auto& e = static_cast<const KT_Point_Entity&>(d);
      h.values(KT_HEAD, KT_PT(e.at));
      break;
    }
    case KT_Drawable_Kind::line: {
      const auto& e = static_cast<const KT_Line_Entity&>(d);
      h.values(KT_HEAD, KT_PT(e.start), KT_PT(e.end));
      break;
    }
    case KT_Drawable_Kind::solid: {
      const auto& e = static_cast<const KT_Solid_Entity&>(d);
      h.values(KT_HEAD, KT_PT(e.corners[0]), KT_PT(e.corners[1]), KT_PT(e.corners[2]), KT_PT(e.corners[3]),
               e.count);
      break;
    }
    case KT_Drawable_Kind::circle: {
      const auto& e = static_cast<const KT_Circle_Entity&>(d);
      h.values(KT_HEAD, KT_PT(e.centre), e.radius);
      break;
    }
    case KT_Drawable_Kind::arc: {
      const auto& e = static_cast<const KT_Arc_Entity&>(d);
      h.values(KT_HEAD, KT_PT(e.centre), e.radius, e.start_angle, e.end_angle);
      break;
    }
    case KT_Drawable_Kind::text: {
      const auto& e = static_cast<const KT_Text_Entity&>(d);
      h.values(KT_HEAD, KT_PT(e.at), e.height, e.width_factor, e.rotation);
      h.text(e.text);
      h.text(e.style);
      break;
    }
    case KT_Drawable_Kind::insert: {
      const auto& e = static_cast<const KT_Insert_Entity&>(d);
      h.values(KT_HEAD, KT_PT(e.at), e.rotation);
      h.bytes(e.scale, sizeof e.scale);
      h.text(e.block_name);
      break;
    }
    case KT_Drawable_Kind::dimension: {
      const auto& e = static_cast<const KT_Dimension_Entity&>(d);
      h.values(KT_HEAD, e.value);
      for (const char* s : e.strings) h.text(s);
      for (const Ge_Pt& p : e.points) h.point(p);
      h.bytes(e.reals, sizeof e.reals);
      break;
    }
    case KT_Drawable_Kind::polyline:
    case KT_Drawable_Kind::point_set: {
      const auto& e = static_cast<const KT_Vertex_Entity&>(d);
      h.values(KT_HEAD, e.count, e.closed);
      if (e.vertices != nullptr && e.count > 0) h.bytes(e.vertices, static_cast<std::size_t>(e.count) * sizeof(Ge_Pt));
      break;
    }
    default:
      h.values(KT_HEAD);
      break;
  }
#undef KT_PT
#undef KT_HEAD
  return h.result();
}

uint64_t kt_digest(const KT_Layer& l) {
  Digest h;
  h.text(l.name);
  h.value(l.color);
  h.value(l.line_type);
  h.value(l.on);
  h.value(l.flag2);
  h.value(l.flag3);
  return h.result();
}

uint64_t kt_digest(const KT_Text_Style& s) {
  Digest h;
  h.text(s.name);
  h.text(s.font_file);
  h.text(s.big_font_file);
  h.bytes(s.reals, sizeof s.reals);
  h.value(s.flags);
  h.value(s.last);
  h.value(s.mark);
  return h.result();
}

uint64_t kt_digest(const KT_Dim_Style& s) {
  Digest h;
  h.text(s.name);
  h.text(s.second_name);
  h.bytes(s.longs, sizeof s.longs);
  h.bytes(s.shorts, sizeof s.shorts);
  h.bytes(s.reals, sizeof s.reals);
  return h.result();
}

uint64_t kt_digest(const KT_Block& b) {
  Digest h;
  h.text(b.name);
  h.point(b.base);
  return h.result();
}
