// The entity kinds: code, name, reader, and whether the payload holds counts
// or lengths read from the file. The stream's dispatch, trv's record names
// and the hostile-count tests all come from this one table.
#pragma once

#include <array>
#include <cstdint>

#include "entities/entity_kinds.h"

using EntityReader = void (*)(EntityContext&);

// The kinds that create nothing share one reader.
template <int16_t Kind>
void read_skipped(EntityContext& c) {
  read_skipped_record(c, Kind);
}

struct EntityKind {
  int16_t code;
  const char* name;
  EntityReader read;
  bool holds_counts;  // the payload holds counts or lengths from the file
};

inline constexpr EntityKind kEntityKinds[] = {
    {1, "point", read_point_record, false},
    {2, "line", read_line_record, false},
    {3, "circle", read_circle_record, false},
    {4, "arc", read_arc_record, false},
    {5, "corner", read_corner_record, false},
    {6, "solid", read_solid_record, false},
    {7, "text", read_text_record, true},
    {8, "named", read_named_record, true},
    {11, "four-string text", read_four_string_text, true},
    {13, "polyline", read_polyline_record, true},
    {18, "dimension", read_dimension_record, true},
    {23, "insert", read_insert_record, true},
    {28, "vertex chain", read_vertex_chain_record, true},
    {17, "other", read_skipped<17>, false},
    {26, "other", read_skipped<26>, true},
    {29, "other", read_skipped<29>, true},
    {43, "other", read_skipped<43>, true},
    {45, "other", read_skipped<45>, true},
    {100, "other", read_skipped<100>, true},
};

// Codes below this have a slot in the dispatch; every other code is unknown.
inline constexpr int kEntityKindSlots = 128;

static_assert([] {
  for (const EntityKind& k : kEntityKinds)
    if (k.code < 0 || k.code >= kEntityKindSlots) return false;
  return true;
}(), "every kind has a slot in the dispatch");

// Unknown kinds have no payload: their slots read nothing, so the dispatch
// needs no test for an empty slot.
inline void read_nothing(EntityContext&) {}

// The reader of each code (read_nothing: an unknown kind).
inline constexpr auto kEntityReaders = [] {
  std::array<EntityReader, kEntityKindSlots> readers{};
  readers.fill(read_nothing);
  for (const EntityKind& k : kEntityKinds) readers[static_cast<std::size_t>(k.code)] = k.read;
  return readers;
}();

// The kind's name; "unknown" for a code the table does not hold.
inline const char* entity_kind_name(int code) {
  for (const EntityKind& k : kEntityKinds)
    if (k.code == code) return k.name;
  return "unknown";
}
