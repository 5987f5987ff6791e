#include "tools/trv/drawing_doubts.h"

#include <cmath>
#include <cstdio>
#include <cstdint>

#include "entities/kind_table.h"
#include "format/names.h"
#include "host/zirida_host.h"
#include "view/drawables.h"
#include "view/kind_names.h"
#include "view/ranges.h"

namespace trv {

namespace {

using kttrv::view::TextEncoding;

std::string quoted(const TextEncoding& encoding, std::string_view bytes) {
  std::string shown;
  for (const char c : encoding.decode(bytes)) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", b);
      shown += escape;
    } else {
      shown += c;
    }
  }
  return "\"" + shown + "\"";
}

// Where a stored record starts in the file, when that is known.
std::string at_byte(const KT_Drawing& drawing, const KT_Stored* stored) {
  if (stored == nullptr) return "";
  const long long at = zirida_file_offset(drawing, *stored);
  return at < 0 ? "" : " at byte " + std::to_string(at);
}

// A text with a byte below 0x20 or DEL, or, in Latin-1, a C1 control
// (0x80 to 0x9F); or bytes that are no text in the encoding.
std::string name_problem(std::string_view bytes, const TextEncoding& encoding) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || (encoding.every_byte_valid() && b >= 0x80 && b < 0xA0))
      return "a control byte in the name";
  }
  if (!encoding.valid(bytes)) return "bytes that are no text in " + encoding.name();
  return "";
}

struct Finder {
  const KT_Drawing& drawing;
  const KT_Carried* carried;
  const TextEncoding& encoding;
  std::vector<Doubt> doubts;
  std::size_t layers = 0;
  std::vector<std::string> style_names;
  std::vector<std::string> block_names;

  static bool has(const std::vector<std::string>& names, const char* name) {
    for (const std::string& n : names)
      if (same_name(n, name)) return true;
    return false;
  }

  void add(DoubtKind kind, std::string place, std::string what) {
    doubts.push_back({kind, std::move(place), std::move(what)});
  }

  void name(const std::string& place, const char* bytes) {
    if (bytes == nullptr) return;
    const std::string problem = name_problem(bytes, encoding);
    if (!problem.empty()) add(DoubtKind::name_bytes, place + " " + quoted(encoding, bytes), problem);
  }

  template <class T>
  void table(const char* what, kttrv::view::CollectionRange<T> objects) {
    long n = 0;
    for (const T& o : objects) name(std::string(what) + " " + std::to_string(n++), o.name);
  }

  void coordinate(const std::string& place, const char* what, double v) {
    const char* problem = std::fpclassify(v) == FP_SUBNORMAL ? " is subnormal"
                          : !std::isfinite(v)                 ? " is not finite"
                          : std::fabs(v) > kAbsurdCoordinate  ? " is beyond any drawing"
                                                              : nullptr;
    if (problem == nullptr) return;
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    add(DoubtKind::coordinate, place, std::string(what) + problem + " (" + text + ")");
  }
  void point(const std::string& place, const char* what, const Ge_Pt& p) {
    coordinate(place, what, p.x);
    coordinate(place, what, p.y);
    coordinate(place, what, p.z);
  }

  void drawable(const std::string& list, const KT_Drawable& d) {
    const KT_Stored* stored = carried != nullptr ? carried->stored(d) : nullptr;
    const std::string place = list + ": drawable " + std::to_string(d.id) + " (" +
                              std::string(kttrv::view::kind_name(d.kind)) + ")" + at_byte(drawing, stored);
    if (d.layer < 0 || static_cast<std::size_t>(d.layer) >= layers)
      add(DoubtKind::missing_reference, place, "layer number " + std::to_string(d.layer) + " names no layer");
    kttrv::view::visit(d, kttrv::view::Overloads{
        [&](const KT_Point_Entity& e) { point(place, "a point", e.at); },
        [&](const KT_Line_Entity& e) {
          point(place, "a point", e.start);
          point(place, "a point", e.end);
        },
        [&](const KT_Solid_Entity& e) {
          for (const Ge_Pt& c : e.corners) point(place, "a corner", c);
        },
        [&](const KT_Circle_Entity& e) {
          point(place, "the centre", e.centre);
          coordinate(place, "the radius", e.radius);
        },
        [&](const KT_Arc_Entity& e) {
          point(place, "the centre", e.centre);
          coordinate(place, "the radius", e.radius);
        },
        [&](const KT_Text_Entity& e) {
          point(place, "the insertion point", e.at);
          coordinate(place, "the height", e.height);
          if (e.style != nullptr && e.style[0] != '\0' && !has(style_names, e.style))
            add(DoubtKind::missing_reference, place, "text style " + quoted(encoding, e.style) + " does not exist");
        },
        [&](const KT_Insert_Entity& e) {
          point(place, "the insertion point", e.at);
          for (const double s : e.scale) coordinate(place, "a scale", s);
          if (e.block_name != nullptr && !has(block_names, e.block_name))
            add(DoubtKind::missing_reference, place, "block " + quoted(encoding, e.block_name) + " does not exist");
        },
        [&](const KT_Dimension_Entity& e) {
          for (const Ge_Pt& p : e.points) point(place, "a point", p);
        },
        [&](const KT_Vertex_Entity& e) {
          for (long i = 0; i < e.count; ++i) point(place, "a vertex", e.vertices[i]);
        },
    });
  }

  // The records of unknown kind a list passed over, each at its place.
  void passed(const std::string& list, const KT_Block* block) {
    if (carried == nullptr) return;
    for (const KT_Stored& p : carried->passed(block)) {
      if (p.size < 2) continue;
      const int kind = static_cast<int16_t>(p.data[0] | (p.data[1] << 8));
      if (std::string_view(entity_kind_name(kind)) != "unknown") continue;
      // A record of an unknown kind is its kind and property block alone: one
      // of the dispatch's codes (1 to 127) is passed over as the format
      // allows; a code no file uses (0, negative, beyond the dispatch) is
      // what damaged bytes read as.
      if (kind > 0 && kind < kEntityKindSlots) continue;
      add(DoubtKind::unknown_record,
          list + ": record after " + (p.after ? "drawable " + std::to_string(p.after->id) : std::string("none")) +
              at_byte(drawing, &p),
          "of unknown kind " + std::to_string(kind) + " (" + std::to_string(p.size) + " bytes)");
    }
  }
};

}  // namespace

const char* doubt_kind_name(DoubtKind kind) {
  switch (kind) {
    case DoubtKind::unknown_record: return "unknown record";
    case DoubtKind::name_bytes: return "name";
    case DoubtKind::coordinate: return "coordinate";
    case DoubtKind::missing_reference: return "reference";
  }
  return "doubt";
}

std::vector<Doubt> find_doubts(const KT_Drawing& drawing, const LoadStats& stats, const KT_Carried* carried,
                               const TextEncoding& encoding) {
  Finder f{drawing, carried, encoding, {}, 0, {}, {}};
  for (const KT_Layer& l : kttrv::view::layers_of(drawing)) {
    (void)l;
    ++f.layers;
  }
  for (const KT_Text_Style& s : kttrv::view::text_styles_of(drawing)) f.style_names.emplace_back(s.name ? s.name : "");
  for (const KT_Block& b : kttrv::view::blocks_of(drawing)) f.block_names.emplace_back(b.name ? b.name : "");
  f.table("layer", kttrv::view::layers_of(drawing));
  f.table("text style", kttrv::view::text_styles_of(drawing));
  f.table("dimension style", kttrv::view::dim_styles_of(drawing));
  f.table("line type", kttrv::view::line_types_of(drawing));
  f.table("block", kttrv::view::blocks_of(drawing));
  long n = 0;
  for (const KT_Block& b : kttrv::view::blocks_of(drawing)) {
    const std::string list = "block " + std::to_string(n++);
    for (const KT_Drawable& d : kttrv::view::drawables_of(b.entities)) f.drawable(list, d);
    f.passed(list, &b);
  }
  for (const KT_Drawable& d : kttrv::view::drawables_of(drawing.model_space)) f.drawable("model space", d);
  f.passed("model space", nullptr);
  // Without the records at their places: the codes no file uses that the
  // load counted.
  for (int k = 0; carried == nullptr && k < LoadStats::kKinds; ++k) {
    const uint64_t read = stats.by_kind[k].read;
    if (read == 0) continue;
    if (k != 0 && k != LoadStats::kKinds - 1) continue;
    f.add(DoubtKind::unknown_record, "entity records",
          std::to_string(read) + " record(s) of unknown kind " +
              (k == LoadStats::kKinds - 1 ? std::string("outside 0 to 127") : std::to_string(k)));
  }
  return std::move(f.doubts);
}

void for_each_string(const KT_Drawing& drawing, const StringVisit& visit) {
  // The place is spelled out only when the visitor asks for it: most
  // strings are only looked at.
  const auto text = [&visit](const char* bytes, const auto& place) {
    if (bytes != nullptr) visit(bytes, std::function<std::string()>(place));
  };
  const auto numbered = [](const char* what, long n, const char* part = "") {
    return [what, n, part] { return what + std::to_string(n) + part; };
  };
  long n = 0;
  for (const KT_Layer& l : kttrv::view::layers_of(drawing)) text(l.name, numbered("layer ", n++));
  n = 0;
  for (const KT_Text_Style& s : kttrv::view::text_styles_of(drawing)) {
    text(s.name, numbered("text style ", n));
    text(s.font_file, numbered("text style ", n, " font"));
    text(s.big_font_file, numbered("text style ", n, " big font"));
    ++n;
  }
  n = 0;
  for (const KT_Dim_Style& s : kttrv::view::dim_styles_of(drawing)) {
    text(s.name, numbered("dimension style ", n));
    text(s.second_name, numbered("dimension style ", n));
    ++n;
  }
  n = 0;
  for (const KT_Line_Type& t : kttrv::view::line_types_of(drawing)) text(t.name, numbered("line type ", n++));
  const auto drawables = [&](const std::function<std::string()>& list, const KT_Entity_List& entities) {
    for (const KT_Drawable& d : kttrv::view::drawables_of(entities)) {
      const auto place = [&list, &d](const char* part) {
        return [&list, &d, part] { return list() + ": drawable " + std::to_string(d.id) + part; };
      };
      kttrv::view::visit(d, kttrv::view::Overloads{
          [&](const KT_Text_Entity& e) {
            text(e.text, place(""));
            text(e.style, place(" style"));
          },
          [&](const KT_Insert_Entity& e) { text(e.block_name, place(" block name")); },
          [&](const KT_Dimension_Entity& e) {
            for (const char* s : e.strings) text(s, place(""));
          },
          [](const auto&) {},
      });
    }
  };
  n = 0;
  for (const KT_Block& b : kttrv::view::blocks_of(drawing)) {
    text(b.name, numbered("block ", n));
    text(b.description, numbered("block ", n, " description"));
    drawables(numbered("block ", n), b.entities);
    ++n;
  }
  drawables([] { return std::string("model space"); }, drawing.model_space);
}

}  // namespace trv
