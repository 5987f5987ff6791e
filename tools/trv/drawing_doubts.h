// What makes a file that loaded whole doubtful (trv check --strict): records
// of unknown kind codes no file uses (0, negative, beyond 127), names with control bytes or bytes that are no
// text in the chosen encoding, coordinates that are subnormal, not finite or
// beyond any drawing, and references to layers, text styles or blocks the
// drawing lacks. Each doubt names its place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "format/load_stats.h"
#include "kernel/kt_carried.h"
#include "kernel/zirida.h"
#include "view/text_encoding.h"

namespace trv {

enum class DoubtKind { unknown_record, name_bytes, coordinate, missing_reference };

struct Doubt {
  DoubtKind kind;
  std::string place;  // "model space: drawable 12 (line) at byte 4410", "layer 3 \"WALLS\""
  std::string what;
};

// A coordinate beyond this (in drawing units) is taken for garbage.
inline constexpr double kAbsurdCoordinate = 1e12;

// Every doubt of the drawing, in the order of the dump (tables, blocks,
// model space). stats: the load's record tally; carried: what the load kept
// of the file (null: no places in the file, no records that made nothing).
std::vector<Doubt> find_doubts(const KT_Drawing& drawing, const LoadStats& stats, const KT_Carried* carried,
                               const kttrv::view::TextEncoding& encoding);

// Every string of the drawing's tables, blocks and drawables with its place,
// for what checks the text (trv info's encoding check, a catalogue).
// The visitor gets the string's bytes and a call that spells out its place
// ("block 3: drawable 812 style").
using StringVisit = std::function<void(std::string_view bytes, const std::function<std::string()>& place)>;
void for_each_string(const KT_Drawing& drawing, const StringVisit& visit);

const char* doubt_kind_name(DoubtKind kind);

}  // namespace trv
