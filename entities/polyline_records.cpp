// Kind 13: a polyline header followed, when its vertex presence field is set,
// by a count and that many full vertex records.
#include <cstddef>

#include "entities/entity_kinds.h"
#include "format/record_layout.h"

namespace {

// A vertex record is at least a bare property block, its mask and its point.
constexpr uint64_t kSmallestVertex = 10 + 4 + 24;

struct Vertex {
  double x = 0.0;
  double y = 0.0;
  int16_t flags = 0;
};

// Behind a vertex's property block and mask: x, y, z, three reals, its
// flags, a real and four 16-bit values, each but the point present by a bit
// of the mask.
using VertexFields = RecordLayout<LayoutField<0, double>, LayoutField<0, double>, LayoutField<0, double>,
                                  LayoutField<0x1, double>, LayoutField<0x2, double>, LayoutField<0x4, double>,
                                  LayoutField<0x8, int16_t>, LayoutField<0x10, double>, LayoutField<0x20, int16_t>,
                                  LayoutField<0x40, int16_t>, LayoutField<0x80, int16_t>, LayoutField<0x100, int16_t>>;

// The fields behind the mask, x, y and flags kept. Always inlined: with
// `mask` a constant the layout folds to one record of a known size.
[[gnu::always_inline]] inline void read_vertex_fields(RecordReader& r, uint32_t mask, Vertex& v) {
  const RecordView fields = r.record(VertexFields::size(mask));
  if (!r.ok()) return;
  Unused unused;  // z and the rest are not used
  VertexFields::read(fields, mask, v.x, v.y, unused, unused, unused, unused, v.flags, unused, unused, unused, unused,
                     unused);
}

// One vertex record; its own property block is not used.
// Its mask fixes the size of the rest, so the rest is taken in one piece.
// Plain vertices carry their flags and nothing else behind the point: that
// mask gets a case of its own.
Vertex read_vertex(RecordReader& r) {
  // Most vertices are plain: a bare property block (flags 0, the two
  // values), mask 0x8, the point and the flags; 40 bytes taken with one
  // bounds check. Any other vertex is read piece by piece.
  constexpr std::size_t kBareProps = 2 + entity_props_detail::FixedPart::size(0);
  constexpr std::size_t kPlain = kBareProps + 4 + VertexFields::size(0x8);
  if (const unsigned char* bytes = r.peek(kPlain)) [[likely]] {
    const FixedRecord<kPlain> plain(bytes);
    if (plain.get<uint16_t, 0>() == 0 && plain.get<int32_t, kBareProps>() == 0x8) [[likely]] {
      r.pass_peeked(kPlain);
      return {plain.get<double, kBareProps + 4>(), plain.get<double, kBareProps + 12>(),
              plain.get<int16_t, kPlain - 2>()};
    }
  }
  Vertex v;
  if (!skip_entity_props(r)) return v;
  const auto mask = static_cast<uint32_t>(r.i32());
  if (mask == 0x8) read_vertex_fields(r, 0x8, v);
  else read_vertex_fields(r, mask, v);
  return v;
}

// Vertices that keep the position the kernel created them with.
bool passed_over(int32_t polyline_flags, int16_t vertex_flags) {
  return ((polyline_flags & 0x2) && (vertex_flags & 0x1)) ||
         ((polyline_flags & 0x4) && (vertex_flags & 0x10)) || vertex_flags == 0x80;
}

}  // namespace

void read_polyline_record(EntityContext& c) {
  RecordReader& r = c.r;
  r.skip(26);
  const int32_t polyline_flags = r.i32();
  r.skip(24);
  const int32_t has_vertices = r.i32();
  if (!r.ok() || has_vertices == 0) return;

  const uint32_t count = r.u32();
  if (!r.ok()) return;
  if (!r.expect_items(count, kSmallestVertex)) return;
  // The vertices are gathered first (growing only with what was read). When
  // the data cuts them short after the first, the polyline is still created
  // with the count its header gives and the vertices read in full; the
  // stream ends behind it.
  auto& vertices = c.vertices;
  vertices.clear();
  for (uint32_t i = 0; i < count; ++i) {
    const Vertex v = read_vertex(r);
    if (!r.ok()) break;
    vertices.push_back({v.x, v.y, !passed_over(polyline_flags, v.flags)});
  }
  if (!r.ok() && vertices.empty()) return;

  KT_Drawable* polyline = nullptr;
  // count vertices were read from a file of under 2 GiB: the count and every
  // index fit the kernel's long even where it is 32 bits.
  api_kt_create_polyline(polyline, static_cast<long>(count), false);
  if (polyline == nullptr) return;

  // Only the record's own extrusion mirrors; the vertices' blocks do not count.
  // Passed-over vertices keep their index and the kernel's position.
  // The kernel's calls cannot resize the vectors, but the compiler cannot
  // know: the size is taken once.
  const bool mirrored = is_mirrored(c.props);
  const std::size_t n = vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto& v = vertices[i];
    if (v.kept) api_kt_set_pline_pos(polyline, static_cast<long>(i), mirrored ? -v.x : v.x, v.y, 0.0);
  }
}
