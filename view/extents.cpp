#include "view/extents.h"

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "view/drawables.h"
#include "view/ranges.h"

namespace kttrv::view {

namespace {

constexpr double kTurn = 2 * std::numbers::pi;

// The angles where x or y of a circle is extreme once placed.
struct ArcExtremes {
  double at[2];
  explicit ArcExtremes(const Placement& p) : at{std::atan2(p.xy, p.xx), std::atan2(p.yy, p.yx)} {}
};

}  // namespace

double remainder_of_turns(double x) {
  // fmod gives x itself below one turn, and x - kTurn from one turn up to
  // two, which that subtraction computes exactly (the operands are within a
  // factor of two): the same values without the library call.
  if (std::fabs(x) < kTurn) return x;
  if (x >= kTurn && x < 2 * kTurn) return x - kTurn;
  return std::fmod(x, kTurn);
}

namespace {

// Where a placed arc is added, in order: its ends, then the angles in
// (start, start + sweep] where x or y is extreme. At most six.
inline int arc_angles(double start, double end, const ArcExtremes& extremes, double* out) {
  double sweep = remainder_of_turns(end - start);
  if (sweep <= 0) sweep += kTurn;
  int n = 0;
  out[n++] = start;
  out[n++] = start + sweep;
  for (double extreme : extremes.at) {
    for (double t : {extreme, extreme + std::numbers::pi}) {
      const double from_start = remainder_of_turns(remainder_of_turns(t - start) + kTurn);
      if (from_start <= sweep) out[n++] = start + from_start;
    }
  }
  return n;
}

// The points of a placed arc at angles whose cosines and sines are given.
template <class Sink>
void add_arc_points(Sink& sink, const Ge_Pt& centre, double r, int n, const double* cos, const double* sin,
                    const Placement& p) {
  for (int i = 0; i < n; ++i) sink.add({centre.x + r * cos[i], centre.y + r * sin[i], centre.z}, p);
}

template <class Sink>
void add_arc(Sink& sink, const Ge_Pt& centre, double r, double start, double end, const Placement& p,
             const ArcExtremes& extremes) {
  double angles[6], cos[6], sin[6];
  const int n = arc_angles(start, end, extremes, angles);
  for (int i = 0; i < n; ++i) {
    cos[i] = std::cos(angles[i]);
    sin[i] = std::sin(angles[i]);
  }
  add_arc_points(sink, centre, r, n, cos, sin, p);
}

// A circle is the arc from 0 to a full turn.
constexpr double kCircleStart = 0;
constexpr double kCircleEnd = kTurn;

// A full circle's angles under a placement, with their cosines and sines:
// the same for every circle under it.
struct CircleTurns {
  int n = 0;
  double cos[6], sin[6];
  explicit CircleTurns(const ArcExtremes& extremes) {
    double angles[6];
    n = arc_angles(kCircleStart, kCircleEnd, extremes, angles);
    for (int i = 0; i < n; ++i) {
      cos[i] = std::cos(angles[i]);
      sin[i] = std::sin(angles[i]);
    }
  }
};

// What a drawable covers once placed, point by point into the sink (add a
// point under a placement; circle and arc).
template <class Sink>
struct CoveredPoints {
  Sink& sink;
  const Placement& p;
  void operator()(const KT_Point_Entity& e) const { sink.add(e.at, p); }
  void operator()(const KT_Line_Entity& e) const {
    sink.add(e.start, p);
    sink.add(e.end, p);
  }
  void operator()(const KT_Solid_Entity& e) const {
    for (int i = 0; i < e.count && i < 4; ++i) sink.add(e.corners[i], p);
  }
  void operator()(const KT_Circle_Entity& e) const { sink.circle(e.centre, e.radius, p); }
  void operator()(const KT_Arc_Entity& e) const { sink.arc(e.centre, e.radius, e.start_angle, e.end_angle, p); }
  void operator()(const KT_Text_Entity& e) const { sink.add(e.at, p); }
  void operator()(const KT_Insert_Entity&) const {}  // its block's drawables are visited
  void operator()(const KT_Dimension_Entity& e) const {
    const DimensionLines l = dimension_lines(e);
    for (const Ge_Pt& q : {l.a, l.b, l.a_on_line, l.b_on_line}) sink.add(q, p);
  }
  void operator()(const KT_Vertex_Entity& e) const { sink.add_all(e.vertices, e.count, p); }
};

template <class Sink>
void add_drawable(Sink& sink, const KT_Drawable& d, const Placement& p) {
  visit(d, CoveredPoints<Sink>{sink, p});
}

// Extents::add, point by point, everything worked out afresh.
struct PlainSink {
  Extents& e;
  void add(const Ge_Pt& q, const Placement& p) { e.add(p.apply(q)); }
  void add_all(const Ge_Pt* q, long n, const Placement& p) {
    for (long i = 0; i < n; ++i) add(q[i], p);
  }
  void circle(const Ge_Pt& centre, double r, const Placement& p) {
    add_arc(*this, centre, r, kCircleStart, kCircleEnd, p, ArcExtremes(p));
  }
  void arc(const Ge_Pt& centre, double r, double start, double end, const Placement& p) {
    add_arc(*this, centre, r, start, end, p, ArcExtremes(p));
  }
};

// What the box needs to know of a stretch of points besides the points.
struct Stretch {
  double z_low = HUGE_VAL, z_high = -HUGE_VAL;  // folded as the box folds them
  bool z_finite = true;
  double reach = 0;  // the largest |x| or |y|; infinite when one is not finite
  double x_low = HUGE_VAL, x_high = -HUGE_VAL, y_low = HUGE_VAL, y_high = -HUGE_VAL;
  long points = 0;

  void add(const Ge_Pt& q) {
    ++points;
    z_finite = z_finite && std::isfinite(q.z);
    reach = std::isfinite(q.x) && std::isfinite(q.y) ? std::max({reach, std::fabs(q.x), std::fabs(q.y)}) : HUGE_VAL;
    z_low = std::min(z_low, q.z);
    z_high = std::max(z_high, q.z);
    x_low = std::min(x_low, q.x), x_high = std::max(x_high, q.x);
    y_low = std::min(y_low, q.y), y_high = std::max(y_high, q.y);
  }
  // Another stretch's x, y and reach taken in (z left as it is).
  void merge_xy(const Stretch& o) {
    points += o.points;
    z_finite = z_finite && o.z_finite;
    reach = std::max(reach, o.reach);
    x_low = std::min(x_low, o.x_low), x_high = std::max(x_high, o.x_high);
    y_low = std::min(y_low, o.y_low), y_high = std::max(y_high, o.y_high);
  }
};

// A stretch in the making: the stretch Stretch::add makes, with x and y
// side by side in two lanes.
class StretchBuilder {
 public:
#if defined(__SSE2__)
  void add(const Ge_Pt& q) { add_all(&q, 1); }
  void add_all(const Ge_Pt* q, long n) {
    points_ += n;
    for (long i = 0; i < n; ++i) {
      const __m128d xy = _mm_loadu_pd(&q[i].x);
      low_ = _mm_min_pd(xy, low_);  // as std::min(low, xy)
      high_ = _mm_max_pd(xy, high_);
      magnitude_ = _mm_max_pd(_mm_andnot_pd(_mm_set1_pd(-0.0), xy), magnitude_);
      // x - x is 0 for a finite x, NaN for an infinite or NaN one.
      finite_ = _mm_and_pd(finite_, _mm_cmpeq_pd(_mm_sub_pd(xy, xy), _mm_setzero_pd()));
      z_finite_ &= q[i].z - q[i].z == 0;
      z_low_ = std::min(z_low_, q[i].z);
      z_high_ = std::max(z_high_, q[i].z);
    }
  }
  // The stretch so far; the builder starts again empty.
  Stretch take() {
    Stretch s;
    double low[2], high[2], magnitude[2];
    _mm_storeu_pd(low, low_);
    _mm_storeu_pd(high, high_);
    _mm_storeu_pd(magnitude, magnitude_);
    s.x_low = low[0], s.y_low = low[1], s.x_high = high[0], s.y_high = high[1];
    s.reach = _mm_movemask_pd(finite_) == 3 ? std::max({s.reach, magnitude[0], magnitude[1]}) : HUGE_VAL;
    s.z_low = z_low_, s.z_high = z_high_, s.z_finite = z_finite_;
    s.points = points_;
    *this = {};
    return s;
  }

 private:
  __m128d low_ = _mm_set1_pd(HUGE_VAL), high_ = _mm_set1_pd(-HUGE_VAL);
  __m128d magnitude_ = _mm_setzero_pd();                           // the largest |x| and |y|
  __m128d finite_ = _mm_castsi128_pd(_mm_set1_epi64x(-1));  // all ones while x and y are finite
  double z_low_ = HUGE_VAL, z_high_ = -HUGE_VAL;
  bool z_finite_ = true;
  long points_ = 0;
#else
  void add(const Ge_Pt& q) { s_.add(q); }
  void add_all(const Ge_Pt* q, long n) {
    for (long i = 0; i < n; ++i) s_.add(q[i]);
  }
  Stretch take() { return std::exchange(s_, {}); }

 private:
  Stretch s_;
#endif
};

// Whether p takes every point whose x and y are at most reach from 0 to
// finite x and y. Rounding is monotonic, so |xx x + xy y + x0| as the
// placement computes it is at most (|xx| reach + |xy| reach) + |x0| computed
// the same way, and with that finite no product or sum on the way overflows
// or meets an infinity.
bool stays_finite(const Placement& p, double reach) {
  const double x = (std::fabs(p.xx) * reach + std::fabs(p.xy) * reach) + std::fabs(p.x0);
  const double y = (std::fabs(p.yx) * reach + std::fabs(p.yy) * reach) + std::fabs(p.y0);
  return x <= DBL_MAX && y <= DBL_MAX;
}

// The same sums as Extents::add, with x and y side by side in two lanes: the
// same operations in the same order (the placement's products and sums, the
// finiteness test, min and max taking the new value only when it is
// strictly beyond), so the same values, down to which of two equal zeros
// stays. Empty is min +inf and max -inf, which the first point replaces.
class PointBox {
 public:
#if defined(__SSE2__)
  // Many points under one placement, the box in registers meanwhile.
  void add_all(const Ge_Pt* q, long n, const Placement& p) {
    const __m128d x_factors = _mm_set_pd(p.yx, p.xx), y_factors = _mm_set_pd(p.yy, p.xy);
    const __m128d offsets = _mm_set_pd(p.y0, p.x0);
    __m128d low = low_, high = high_;
    double z_low = z_low_, z_high = z_high_;
    for (long i = 0; i < n; ++i) {
      const __m128d xy = _mm_add_pd(
          _mm_add_pd(_mm_mul_pd(x_factors, _mm_set1_pd(q[i].x)), _mm_mul_pd(y_factors, _mm_set1_pd(q[i].y))),
          offsets);
      // x - x is 0 for a finite x, NaN for an infinite or NaN one.
      const __m128d finite = _mm_cmpeq_pd(_mm_sub_pd(xy, xy), _mm_setzero_pd());
      if (_mm_movemask_pd(finite) != 3 || !(q[i].z - q[i].z == 0)) continue;
      low = _mm_min_pd(xy, low);  // xy < low ? xy : low, as std::min(low, xy)
      high = _mm_max_pd(xy, high);
      z_low = std::min(z_low, q[i].z);
      z_high = std::max(z_high, q[i].z);
    }
    low_ = low, high_ = high, z_low_ = z_low, z_high_ = z_high;
  }
  // Points under the identity placement: xx x + xy y + x0 is then x + 0
  // for a finite x and y (the sums turn -0 into +0), y + 0 likewise, and
  // not finite otherwise.
  void add_unplaced(const Ge_Pt* q, long n) {
    const __m128d zero = _mm_setzero_pd();
    __m128d low = low_, high = high_;
    double z_low = z_low_, z_high = z_high_;
    for (long i = 0; i < n; ++i) {
      const __m128d xy = _mm_add_pd(_mm_loadu_pd(&q[i].x), zero);
      const __m128d finite = _mm_cmpeq_pd(_mm_sub_pd(xy, xy), zero);
      if (_mm_movemask_pd(finite) != 3 || !(q[i].z - q[i].z == 0)) continue;
      low = _mm_min_pd(xy, low);
      high = _mm_max_pd(xy, high);
      z_low = std::min(z_low, q[i].z);
      z_high = std::max(z_high, q[i].z);
    }
    low_ = low, high_ = high, z_low_ = z_low, z_high_ = z_high;
  }
  // A stretch of points whose z values are all finite. When the placement
  // cannot take a point of it beyond the finite doubles (the usual case), no
  // point is left out, and the box takes the same values as point by point
  // without a test per point; z folds at once.
  void add_run(const Ge_Pt* q, long n, const Placement& p, const Stretch& s) {
    if (n == 0) return;
    if (!stays_finite(p, s.reach)) return add_all(q, n, p);
    if (!add_unturned(p, s)) {
      const __m128d x_factors = _mm_set_pd(p.yx, p.xx), y_factors = _mm_set_pd(p.yy, p.xy);
      const __m128d offsets = _mm_set_pd(p.y0, p.x0);
      __m128d low = low_, high = high_;
      for (long i = 0; i < n; ++i) {
        const __m128d in = _mm_loadu_pd(&q[i].x);
        const __m128d xy = _mm_add_pd(
            _mm_add_pd(_mm_mul_pd(x_factors, _mm_unpacklo_pd(in, in)), _mm_mul_pd(y_factors, _mm_unpackhi_pd(in, in))),
            offsets);
        low = _mm_min_pd(xy, low);
        high = _mm_max_pd(xy, high);
      }
      low_ = low, high_ = high;
    }
    z_low_ = std::min(z_low_, s.z_low);
    z_high_ = std::max(z_high_, s.z_high);
  }
  // The stretch's x and y alone (its z is the caller's), where the box ends
  // the same whichever point comes first: under a placement that neither
  // turns nor shears, with no point going beyond the finite doubles, and
  // none of the placed extremes zero, a point of the stretch either is an
  // extreme, whose value has one set of bits, or lies strictly inside and
  // is never the box's bound. False (nothing added) where that does not hold.
  bool add_unordered(const Placement& p, const Stretch& s) {
    return s.z_finite && stays_finite(p, s.reach) && add_unturned(p, s);
  }
  void fold_z(double low, double high) {
    z_low_ = std::min(z_low_, low);
    z_high_ = std::max(z_high_, high);
  }
  void into(Extents& e) const {
    if (_mm_movemask_pd(_mm_cmple_pd(low_, high_)) == 0) return;  // nothing added
    double low[2], high[2];
    _mm_storeu_pd(low, low_);
    _mm_storeu_pd(high, high_);
    e.min = {low[0], low[1], z_low_};
    e.max = {high[0], high[1], z_high_};
    e.empty = false;
  }

 private:
  // Under a placement that neither turns nor shears (xy and yx zero), a
  // placed x is (xx x + 0) + x0: the same value as (xx x) + x0, but for the
  // sign of a zero, and monotonic in x; likewise y. The stretch's extreme
  // x and y then give its extreme placed ones, and a value other than zero
  // has one set of bits, whichever point gives it first: the box takes the
  // same values as point by point. False (nothing added) where that does
  // not hold or an extreme is zero, whose sign would depend on the order.
  bool add_unturned(const Placement& p, const Stretch& s) {
    if (!(p.yx == 0 && p.xy == 0)) return false;
    const double x1 = p.xx * s.x_low + p.x0, x2 = p.xx * s.x_high + p.x0;
    const double y1 = p.yy * s.y_low + p.y0, y2 = p.yy * s.y_high + p.y0;
    if (x1 == 0 || x2 == 0 || y1 == 0 || y2 == 0) return false;
    low_ = _mm_min_pd(_mm_set_pd(std::min(y1, y2), std::min(x1, x2)), low_);
    high_ = _mm_max_pd(_mm_set_pd(std::max(y1, y2), std::max(x1, x2)), high_);
    return true;
  }

  __m128d low_ = _mm_set1_pd(HUGE_VAL);
  __m128d high_ = _mm_set1_pd(-HUGE_VAL);
#else
  void add(const Ge_Pt& q, const Placement& p) { e_.add(p.apply(q)); }
  void add_all(const Ge_Pt* q, long n, const Placement& p) {
    for (long i = 0; i < n; ++i) add(q[i], p);
  }
  void add_unplaced(const Ge_Pt* q, long n) { add_all(q, n, Placement{}); }
  void add_run(const Ge_Pt* q, long n, const Placement& p, const Stretch&) { add_all(q, n, p); }
  bool add_unordered(const Placement&, const Stretch&) { return false; }
  void fold_z(double, double) {}
  void into(Extents& e) const { e = e_; }

 private:
  Extents e_;
#endif
  double z_low_ = HUGE_VAL;
  double z_high_ = -HUGE_VAL;
};

// The model space's drawables into the box, under the identity placement:
// a placed point is then the point itself but for the sign of a zero, and
// every arc is extreme at the same angles. The same values as PlainSink's.
class ModelSpaceSink {
 public:
  explicit ModelSpaceSink(PointBox& box) : box_(box) {}
  void add(const Ge_Pt& q, const Placement&) { box_.add_unplaced(&q, 1); }
  void add_all(const Ge_Pt* q, long n, const Placement&) { box_.add_unplaced(q, n); }
  void circle(const Ge_Pt& centre, double r, const Placement& p) {
    add_arc_points(*this, centre, r, circle_.n, circle_.cos, circle_.sin, p);
  }
  void arc(const Ge_Pt& centre, double r, double start, double end, const Placement& p) {
    add_arc(*this, centre, r, start, end, p, extremes_);
  }

 private:
  PointBox& box_;
  ArcExtremes extremes_{Placement{}};
  CircleTurns circle_{extremes_};
};

// The points a drawable adds, whatever the placement, in order into a
// target (a point list, a stretch): everything but the extremes of arcs and
// circles, which those extremes (given at the start) fix.
template <class Target>
struct PointGatherer {
  Target& into;
  const ArcExtremes& extremes;
  std::optional<CircleTurns> circle_turns{};  // made at the first circle
  void add(const Ge_Pt& q, const Placement&) { into.add(q); }
  void add_all(const Ge_Pt* q, long n, const Placement&) { into.add_all(q, n); }
  void circle(const Ge_Pt& centre, double r, const Placement& p) {
    if (!circle_turns) circle_turns.emplace(extremes);
    add_arc_points(*this, centre, r, circle_turns->n, circle_turns->cos, circle_turns->sin, p);
  }
  void arc(const Ge_Pt& centre, double r, double start, double end, const Placement& p) {
    add_arc(*this, centre, r, start, end, p, extremes);
  }
};

struct PointList {
  std::vector<Ge_Pt>& points;
  void add(const Ge_Pt& q) { points.push_back(q); }
  void add_all(const Ge_Pt* q, long n) { points.insert(points.end(), q, q + n); }
};

// A block made ready for the extents walk: its drawables cut at its
// inserts into runs, each with the stretch of its points, and, once a walk
// in order needs them, the points in visit order in one array, so that the
// drawables between two inserts are added in one loop. The points of arcs
// and circles depend on where placed arcs are extreme, which depends only
// on the placement's linear part: all is worked out again when that changes.
struct PreparedBlock {
  // Drawables between two inserts (or the list's ends), and their points
  // (once made).
  struct Run {
    long first_drawable = 0, end_drawable = 0;  // into point_ends
    long first_point = 0, end_point = 0;
    Stretch stretch;
  };
  struct Insert {
    long block = -1;  // none: no block of that name
    Placement placement;
  };

  const KT_Block* block = nullptr;
  bool built = false;
  bool has_points = false;  // points, point_ends and the runs' points made
  bool turns = false;     // has arcs or circles
  bool open = false;      // being walked: not entered again inside itself
  double linear[4] = {};  // the placement's linear part the points were made for
  std::vector<Ge_Pt> points;
  std::vector<long> point_ends;  // where each drawable's points end, inserts left out
  std::vector<Run> runs;         // one more than inserts: run, insert, run, ..., run
  std::vector<Insert> inserts;
  Stretch all;      // every run's x, y and reach together
  long visits = 0;  // its shown drawables, inserts included
  // For the walk at once: the inserts that may lead somewhere (not to no
  // block, nor to the block itself, which is open while it is walked), each
  // with the z of the runs since the one before folded together (min and
  // max keep the first of equal values, so folding them first is the same).
  struct Step {
    double z_low = HUGE_VAL, z_high = -HUGE_VAL;
    const Insert* insert = nullptr;  // null: the runs after the last insert
  };
  std::vector<Step> steps;
};

// The extents walk: the model space drawable by drawable, the blocks its
// inserts lead to as prepared blocks. Visits, their order and their limit
// are the plain walk's, so the extents are its extents to the bit.
//
// A block whose points may go into the box in any order (PointBox::
// add_unordered) has them added at once, its z still folded in order
// between the inserts that may lead somewhere. The visit limit is then checked once the model-space
// insert is done; when that insert went past it, the box and the count go
// back to what they were before it, and it is walked again in order, which
// stops at the drawable where the plain walk stops.
class ExtentsWalk {
 public:
  ExtentsWalk(const KT_Drawing& drawing, const WalkOptions& options) : options_(options) {
    for (const KT_Block& block : blocks_of(drawing)) {
      if (blocks_by_name_.try_emplace(std::string_view(block.name ? block.name : ""), long(prepared_.size())).second)
        prepared_.emplace_back().block = &block;
    }
  }

  // False when the visit limit cut the walk short.
  bool walk_model_space(const KT_Entity_List& list) {
    const Placement identity;
    ModelSpaceSink sink(box_);
    for (const KT_Drawable& d : drawables_of(list)) {
      if (!shown(d)) continue;
      if (++visits_ > kMaxVisits || !spend(1 + vertices_of(d))) return false;
      add_drawable(sink, d, identity);
      const KT_Insert_Entity* insert = as_insert(d);
      if (!insert) continue;
      const long block = block_named(insert->block_name);
      if (block < 0) continue;
      // Through the identity as the plain walk goes: it turns -0 into +0 here and there.
      const Placement p = identity.then_inner(Placement::of_insert(*insert, prepared_[std::size_t(block)].block->base));
      if (!walk_insert(block, p)) return false;
    }
    return true;
  }

  void into(Extents& e) const { box_.into(e); }

 private:
  bool shown(const KT_Drawable& d) const { return !options_.shown || options_.shown(d); }

  long block_named(const char* name) const {
    const auto found = blocks_by_name_.find(name ? name : "");
    return found == blocks_by_name_.end() ? -1 : found->second;
  }

  // A model-space insert's block, at once where it can be, in order where
  // the limit falls inside it.
  bool walk_insert(long block, const Placement& p) {
    if (!at_once_) return walk_block(block, p);
    const PointBox box = box_;
    const long visits = visits_;
    const long long work = work_;
    if (walk_block(block, p) && visits_ <= kMaxVisits && within_budget()) return true;
    box_ = box;
    visits_ = visits;
    work_ = work;
    at_once_ = false;
    return walk_block(block, p);
  }

  bool entered(long index) const {
    return depth_ < kMaxInsertDepth && !prepared_[std::size_t(index)].open;
  }

  // False: the limit was reached (at once: passed, the count then no longer exact).
  bool walk_block(long index, const Placement& p) {
    if (!entered(index)) return true;
    PreparedBlock& b = prepared_[std::size_t(index)];
    ready(b, p);
    b.open = true;
    ++depth_;
    const bool at_once = at_once_ && (b.all.points == 0 || box_.add_unordered(p, b.all));
    if (!at_once) ready_points(b, p);
    const bool ok = at_once ? walk_at_once(b, p) : walk_in_order(b, p);
    --depth_;
    b.open = false;
    return ok;
  }

  // Its points already in the box: z, visits and inserts.
  bool walk_at_once(const PreparedBlock& b, const Placement& p) {
    visits_ += b.visits;
    if (visits_ > kMaxVisits || !spend(b.visits)) return false;
    for (const PreparedBlock::Step& step : b.steps) {
      box_.fold_z(step.z_low, step.z_high);
      const PreparedBlock::Insert* insert = step.insert;
      if (insert && entered(insert->block) && !walk_block(insert->block, p.then_inner(insert->placement)))
        return false;
    }
    return true;
  }

  bool walk_in_order(const PreparedBlock& b, const Placement& p) {
    for (std::size_t i = 0;; ++i) {
      if (!run(b, b.runs[i], p)) return false;
      if (i == b.inserts.size()) return true;
      if (++visits_ > kMaxVisits || !spend(1)) return false;
      const PreparedBlock::Insert& insert = b.inserts[i];
      if (insert.block >= 0 && entered(insert.block) && !walk_block(insert.block, p.then_inner(insert.placement)))
        return false;
    }
  }

  // The run's drawables visited, as far as the limit allows.
  bool run(const PreparedBlock& b, const PreparedBlock::Run& r, const Placement& p) {
    const long drawables = r.end_drawable - r.first_drawable;
    const Ge_Pt* points = b.points.data() + r.first_point;
    // Each point is placed: the work is the points, however few drawables.
    if (!spend(drawables + (r.end_point - r.first_point))) return false;
    if (visits_ + drawables > kMaxVisits) {
      const long allowed = kMaxVisits - visits_;
      const long end = allowed == 0 ? r.first_point : b.point_ends[std::size_t(r.first_drawable + allowed - 1)];
      box_.add_all(points, end - r.first_point, p);
      visits_ = kMaxVisits + 1;
      return false;
    }
    visits_ += drawables;
    if (r.stretch.z_finite) box_.add_run(points, r.end_point - r.first_point, p, r.stretch);
    else box_.add_all(points, r.end_point - r.first_point, p);
    return true;
  }

  // The block's runs made for p's linear part, unless they are already.
  void ready(PreparedBlock& b, const Placement& p) {
    // Bit for bit: a placement of -0 turns arcs otherwise than one of +0.
    const auto same = [](double u, double v) { return std::bit_cast<std::uint64_t>(u) == std::bit_cast<std::uint64_t>(v); };
    if (b.built && (!b.turns || (same(p.xx, b.linear[0]) && same(p.yx, b.linear[1]) && same(p.xy, b.linear[2]) &&
                                 same(p.yy, b.linear[3]))))
      return;
    b.linear[0] = p.xx, b.linear[1] = p.yx, b.linear[2] = p.xy, b.linear[3] = p.yy;
    b.built = true;
    b.has_points = false;
    b.turns = false;
    b.runs.clear();
    b.inserts.clear();
    const ArcExtremes extremes(p);
    StretchBuilder stretch;
    PointGatherer<StretchBuilder> gather{stretch, extremes};
    long drawables = 0, run_first = 0;
    for (const KT_Drawable& d : drawables_of(b.block->entities)) {
      if (!shown(d)) continue;
      if (const KT_Insert_Entity* insert = as_insert(d)) {
        PreparedBlock::Insert& in = b.inserts.emplace_back();
        in.block = block_named(insert->block_name);
        if (in.block >= 0) in.placement = Placement::of_insert(*insert, prepared_[std::size_t(in.block)].block->base);
        b.runs.push_back({run_first, drawables, 0, 0, stretch.take()});
        run_first = drawables;
        continue;
      }
      b.turns = b.turns || d.kind == KT_Drawable_Kind::arc || d.kind == KT_Drawable_Kind::circle;
      add_drawable(gather, d, p);
      ++drawables;
    }
    b.runs.push_back({run_first, drawables, 0, 0, stretch.take()});
    b.all = {};
    for (const PreparedBlock::Run& r : b.runs) b.all.merge_xy(r.stretch);
    b.visits = drawables + long(b.inserts.size());
    b.steps.clear();
    PreparedBlock::Step step;
    for (std::size_t i = 0; i < b.runs.size(); ++i) {
      step.z_low = std::min(step.z_low, b.runs[i].stretch.z_low);
      step.z_high = std::max(step.z_high, b.runs[i].stretch.z_high);
      if (i == b.inserts.size()) break;
      const long leads_to = b.inserts[i].block;
      if (leads_to < 0 || &prepared_[std::size_t(leads_to)] == &b) continue;
      step.insert = &b.inserts[i];
      b.steps.push_back(step);
      step = {};
    }
    b.steps.push_back(step);
  }

  // The points of the block's runs, made for p's linear part as ready made
  // the runs, unless they are already.
  void ready_points(PreparedBlock& b, const Placement& p) {
    if (b.has_points) return;
    b.has_points = true;
    b.points.clear();
    b.point_ends.clear();
    const ArcExtremes extremes(p);
    PointList list{b.points};
    PointGatherer<PointList> gather{list, extremes};
    std::size_t run = 0;
    for (const KT_Drawable& d : drawables_of(b.block->entities)) {
      if (!shown(d)) continue;
      if (as_insert(d)) {
        b.runs[run].end_point = b.runs[run + 1].first_point = long(b.points.size());
        ++run;
        continue;
      }
      add_drawable(gather, d, p);
      b.point_ends.push_back(long(b.points.size()));
    }
    b.runs[run].end_point = long(b.points.size());
  }

  const WalkOptions& options_;
  PointBox box_;
  std::unordered_map<std::string_view, long> blocks_by_name_;
  std::vector<PreparedBlock> prepared_;
  int depth_ = 0;
  long visits_ = 0;
  // Units of work (walk.h), when the options give a budget: the walk stops
  // past it as it does past kMaxVisits.
  long long work_ = 0;
  bool spend(long long units) {
    if (options_.budget <= 0) return true;
    work_ += units;
    return within_budget();
  }
  bool within_budget() const { return options_.budget <= 0 || work_ <= options_.budget; }
  static long long vertices_of(const KT_Drawable& d) {
    if (d.kind != KT_Drawable_Kind::polyline && d.kind != KT_Drawable_Kind::point_set) return 0;
    return std::max(0L, static_cast<const KT_Vertex_Entity&>(d).count);
  }
  bool at_once_ = true;
};
}  // namespace

void Extents::add(const KT_Drawable& d, const Placement& p) {
  PlainSink sink{*this};
  add_drawable(sink, d, p);
}

Extents model_space_extents(const KT_Drawing& drawing, const WalkOptions& options) {
  ExtentsWalk walk(drawing, options);
  const bool whole = walk.walk_model_space(drawing.model_space);
  Extents e;
  walk.into(e);
  e.cut = !whole;
  return e;
}

}  // namespace kttrv::view
