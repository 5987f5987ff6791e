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
  // Only while a ledger notes: the vertex held more than x, y and flags 0
  // (its property block, values), and a z.
  bool held = false;
  bool raised = false;
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

// The same, for a ledger: whether the fields nothing receives hold anything.
void note_vertex_fields(RecordReader& r, uint32_t mask, Vertex& v) {
  const RecordView fields = r.record(VertexFields::size(mask));
  if (!r.ok()) return;
  double z = 0.0, real0 = 0.0, real1 = 0.0, real2 = 0.0, real4 = 0.0;
  int16_t value5 = 0, value6 = 0, value7 = 0, value8 = 0;
  VertexFields::read(fields, mask, v.x, v.y, z, real0, real1, real2, v.flags, real4, value5, value6, value7, value8);
  v.raised = holds_value(z);
  v.held |= v.flags != 0 || holds_value(real0) || holds_value(real1) || holds_value(real2) || holds_value(real4) ||
            value5 != 0 || value6 != 0 || value7 != 0 || value8 != 0 || (mask & ~0x1FFu) != 0;
}

// A vertex's own property block holds anything but its defaults.
bool props_held(const EntityProps& p) {
  return p.layer != 0 || p.linetype != -1 || p.values[0] != 0 || p.values[1] != 0 || holds_value(p.reals[0]) ||
         holds_value(p.reals[1]) || p.color != -1 || p.value16 != 0 || holds_value(p.extrusion[0]) ||
         holds_value(p.extrusion[1]) || holds_value(p.extrusion[2]) || p.xdata_items() != 0 || p.blobs() != 0 ||
         p.tail_values();
}

// One vertex record, every field looked at.
Vertex note_vertex(RecordReader& r) {
  Vertex v;
  EntityProps props;
  if (!read_entity_props(r, props)) return v;
  v.held = props_held(props);
  note_vertex_fields(r, static_cast<uint32_t>(r.i32()), v);
  return v;
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

// The vertices as read, up to the first the data cuts short; with kNote,
// every field of each is looked at for the ledger.
template <bool kNote>
void gather_vertices(RecordReader& r, uint32_t count, int32_t polyline_flags,
                     std::vector<EntityContext::PolylineVertex>& vertices, uint64_t& held, bool& raised) {
  for (uint32_t i = 0; i < count; ++i) {
    const Vertex v = kNote ? note_vertex(r) : read_vertex(r);
    if (!r.ok()) break;
    vertices.push_back({v.x, v.y, !passed_over(polyline_flags, v.flags)});
    if constexpr (kNote) {
      held += v.held;
      raised |= v.raised;
    }
  }
}

}  // namespace

void read_polyline_record(EntityContext& c) {
  RecordReader& r = c.r;
  const auto header = r.record<58>();
  const auto polyline_flags = header.get<int32_t, 26>();
  const auto has_vertices = header.get<int32_t, 54>();
  if (!r.ok() || has_vertices == 0) return;
  const bool header_held = c.ledger != nullptr && header.holds<0, 54>();

  const uint32_t count = r.u32();
  if (!r.ok()) return;
  if (!r.expect_items(count, kSmallestVertex)) return;
  // The vertices are gathered first (growing only with what was read). When
  // the data cuts them short after the first, the polyline is still created
  // with the count its header gives and the vertices read in full; the
  // stream ends behind it.
  auto& vertices = c.vertices;
  vertices.clear();
  uint64_t held = 0;
  bool raised = false;
  if (c.ledger != nullptr) gather_vertices<true>(r, count, polyline_flags, vertices, held, raised);
  else gather_vertices<false>(r, count, polyline_flags, vertices, held, raised);
  if (!r.ok() && vertices.empty()) return;
  if (c.ledger && r.ok()) [[unlikely]] {
    // The writer stores what the kernel holds: neither the header's fields
    // nor the vertices' own.
    c.props_kept = false;
    if (header_held) c.lose(Loss::polyline_field);
    c.lose(Loss::vertex_value, held);
    if (raised) c.lose(Loss::flat_z);
  }

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
