// Kind 28: a compact chain of x, y points that becomes a point set (extras
// field 0) or a polyline (any other extras field).
#include <cstddef>

#include "entities/entity_kinds.h"

void read_vertex_chain_record(EntityContext& c) {
  RecordReader& r = c.r;
  const auto head = r.record<22>();
  const auto count = head.get<int32_t, 0>();
  const auto chain_flags = head.get<uint16_t, 4>();
  const auto extras = head.get<int32_t, 18>();  // behind a real and a 32-bit value, not used
  if (!r.ok() || count <= 0) return;

  // The points, and the 24-byte extras behind them when the extras field is
  // positive, must all be there before the point buffer grows.
  const auto n = static_cast<std::size_t>(count);
  if (!r.expect_items(n, extras > 0 ? 16 + 24 : 16)) return;
  std::vector<double>& xy = c.points;
  xy.resize(2 * n);
  r.bytes(xy.data(), 16 * n);
  // Not used: the extras, the real, the 32-bit value and the chain flags but
  // the closed bit. The writer stores -1 or 0 as the extras field.
  bool extras_held = false;
  if (extras > 0 && c.ledger != nullptr) {
    for (std::size_t i = 0; i < n && r.ok(); ++i) extras_held |= r.record<24>().holds<0, 24>();
  } else if (extras > 0) {
    r.skip(24 * static_cast<uint64_t>(n));
  }
  if (!r.ok()) return;
  if (c.ledger) [[unlikely]] {
    if (extras == 0) c.props_kept = false;
    if ((chain_flags & ~0x200u) != 0 || head.holds<6, 18>() || (extras != 0 && extras != -1) ||
        extras_held)
      c.lose(Loss::polyline_field);
  }

  // This kind mirrors on any negative extrusion z.
  if (c.props.extrusion[2] < 0.0)
    for (std::size_t i = 0; i < n; ++i) xy[2 * i] = -xy[2 * i];

  // The kernel's calls cannot touch the point buffer, but the compiler cannot
  // know: its address is taken once.
  const double* const p = xy.data();
  const bool closed = (chain_flags & 0x200) != 0;
  // A positive int32 whose points fit the file: it and points + 1 fit the
  // kernel's long even where it is 32 bits.
  const long points = count;
  KT_Drawable* made = nullptr;
  if (extras == 0) {
    api_kt_create_lines(made, closed ? points + 1 : points);
    if (made == nullptr) return;
    for (long i = 0; i < points; ++i) api_kt_set_ptset_pos(made, i, p[2 * i], p[2 * i + 1], 0.0);
    if (closed) api_kt_set_ptset_pos(made, points, p[0], p[1], 0.0);  // back to the first point
    return;
  }
  api_kt_create_polyline(made, points, closed);
  if (made == nullptr) return;
  for (long i = 0; i < points; ++i) api_kt_set_pline_pos(made, i, p[2 * i], p[2 * i + 1], 0.0);
  apply_entity_props(made, c.props);
}
