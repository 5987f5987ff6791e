#include "view/dump_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "view/drawables.h"
#include "view/hex_pairs.h"
#include "view/kind_names.h"
#include "view/ranges.h"
#include "view/stored_entity.h"

namespace kttrv::view {

namespace {

void point(JsonOut& out, const Ge_Pt& p) {
  const double xyz[3] = {p.x, p.y, p.z};
  out.reals(xyz, 3);
}

void reals(JsonOut& out, const double* values, int n) { out.reals(values, n); }

template <class T>
void integers(JsonOut& out, const T* values, int n) {
  out.begin_array();
  for (int i = 0; i < n; ++i) out.integer(values[i]);
  out.end_array();
}

void points(JsonOut& out, const Ge_Pt* values, long n) {
  out.begin_array();
  for (long i = 0; i < n; ++i) point(out, values[i]);
  out.end_array();
}

// The members that follow a drawable's common ones, its kind first.
struct DrawableValues {
  JsonOut& out;
  // A constant for each type: its name is copied as one.
  void kind(KT_Drawable_Kind k) const { out.key("kind").word(kind_name(k)); }

  void operator()(const KT_Point_Entity& e) const {
    kind(KT_Drawable_Kind::point);
    point(out.key("at"), e.at);
  }
  void operator()(const KT_Line_Entity& e) const {
    kind(KT_Drawable_Kind::line);
    point(out.key("start"), e.start);
    point(out.key("end"), e.end);
  }
  void operator()(const KT_Solid_Entity& e) const {
    kind(KT_Drawable_Kind::solid);
    points(out.key("corners"), e.corners, 4);
    out.key("count").integer(e.count);
  }
  void operator()(const KT_Circle_Entity& e) const {
    kind(KT_Drawable_Kind::circle);
    point(out.key("centre"), e.centre);
    out.key("radius").real(e.radius);
  }
  void operator()(const KT_Arc_Entity& e) const {
    kind(KT_Drawable_Kind::arc);
    point(out.key("centre"), e.centre);
    out.key("radius").real(e.radius);
    out.key("start_angle").real(e.start_angle);
    out.key("end_angle").real(e.end_angle);
  }
  void operator()(const KT_Text_Entity& e) const {
    kind(KT_Drawable_Kind::text);
    out.key("text").text(e.text);
    out.key("style").text(e.style);
    point(out.key("at"), e.at);
    out.key("height").real(e.height);
    out.key("width_factor").real(e.width_factor);
    out.key("rotation").real(e.rotation);
  }
  void operator()(const KT_Insert_Entity& e) const {
    kind(KT_Drawable_Kind::insert);
    point(out.key("at"), e.at);
    reals(out.key("scale"), e.scale, 3);
    out.key("rotation").real(e.rotation);
    out.key("block_name").text(e.block_name);
  }
  void operator()(const KT_Dimension_Entity& e) const {
    kind(KT_Drawable_Kind::dimension);
    out.key("strings").begin_array().text(e.strings[0]).text(e.strings[1]).text(e.strings[2]).end_array();
    points(out.key("points"), e.points, 7);
    reals(out.key("reals"), e.reals, 6);
    out.key("value").integer(e.value);
  }
  void operator()(const KT_Vertex_Entity& e) const {
    if (e.kind == KT_Drawable_Kind::polyline) kind(KT_Drawable_Kind::polyline);
    else kind(KT_Drawable_Kind::point_set);
    out.key("closed").boolean(e.closed);
    points(out.key("vertices"), e.vertices, e.count);
  }
};

// What a drawable's layer number adds to it when it names a layer: the
// layer's id and, when it has a name, its "layer_name" member (written once
// for the whole dump).
struct LayerMembers {
  long id = 0;
  std::string name_member;  // empty where the layer has no name
};

std::vector<LayerMembers> layer_members(const KT_Drawing& drawing, const TextEncoding* encoding) {
  std::vector<LayerMembers> members;
  for (const KT_Layer& layer : layers_of(drawing)) {
    LayerMembers& m = members.emplace_back();
    m.id = layer.id;
    if (layer.name) {
      JsonOut premade(m.name_member);
      premade.set_encoding(encoding);
      premade.key("layer_name").text(layer.name);
    }
  }
  return members;
}

// A colour value (0x00BBGGRR) as "#RRGGBB", a channel's two digits at a time.
void rgb(JsonOut& out, long color) {
  const auto value = static_cast<unsigned long>(color);
  char text[7] = {'#'};
  for (int i = 0; i < 3; ++i) std::memcpy(text + 1 + 2 * i, &kHexPairsUpper[2 * ((value >> (8 * i)) & 0xFF)], 2);
  out.key("rgb").word(std::string_view(text, 7));
}

// What a drawable's stored record holds beyond the drawable: members behind
// its kind's, each only when the record stored it. e: room for the decoding,
// kept from record to record.
void stored_members(JsonOut& out, const KT_Stored& stored, StoredEntity& e) {
  if (!stored_may_hold_members(stored.bytes())) return;
  decode_stored_entity(stored.bytes(), e);
  if (e.line_type) out.key("line_type").integer(*e.line_type);
  if (e.has_extrusion) reals(out.key("extrusion"), e.extrusion, 3);
  if (!e.xdata.empty()) {
    out.key("xdata").begin_array();
    for (const XdataItem& item : e.xdata) {
      out.begin_object().key("code").integer(item.code);
      out.key("value");
      switch (item.type) {
        case XdataItem::Type::text: out.text_bytes(item.text); break;
        case XdataItem::Type::point: reals(out, item.point, 3); break;
        case XdataItem::Type::real: out.real(item.real); break;
        case XdataItem::Type::integer: out.integer(item.integer); break;
        case XdataItem::Type::none: out.null(); break;
      }
      out.end_object();
    }
    out.end_array();
  }
  if (e.insertion_z) out.key("insertion_z").real(*e.insertion_z);
  if (e.second_point) reals(out.key("second_point"), e.second_point->data(), 3);
  if (e.polyline_flags) {
    out.key("polyline_flags").integer(*e.polyline_flags);
  }
  // Only vertices that hold more than the kernel's x and y are worth a line:
  // a z, a field of the mask beyond the flags, flags other than 0.
  const auto holds_more = [](const StoredVertex& v) {
    return v.z != 0.0 || std::signbit(v.z) || (v.mask & ~0x8) != 0 || v.flags.value_or(0) != 0;
  };
  if (std::any_of(e.vertices.begin(), e.vertices.end(), holds_more)) {
    out.key("stored_vertices").begin_array();
    for (const StoredVertex& v : e.vertices) {
      out.begin_object().key("mask").integer(v.mask);
      out.key("z").real(v.z);
      if (v.real_count > 0) reals(out.key("reals"), v.reals, v.real_count);
      if (v.flags) out.key("flags").integer(*v.flags);
      if (v.value_count > 0) {
        out.key("values").begin_array();
        for (int i = 0; i < v.value_count; ++i) out.integer(v.values[i]);
        out.end_array();
      }
      out.end_object();
    }
    out.end_array();
  }
  if (e.chain) {
    out.key("chain").begin_object();
    out.key("flags").integer(e.chain->flags);
    out.key("real").real(e.chain->real);
    out.key("value").integer(e.chain->value);
    out.key("extras_field").integer(e.chain->extras_field);
    if (!e.chain->extras.empty()) {
      out.key("extras").begin_array();
      for (const auto& extra : e.chain->extras) reals(out, extra.data(), 3);
      out.end_array();
    }
    out.end_object();
  }
  if (e.kind != kInsertKind) return;
  if (e.z_scale) out.key("z_scale").real(*e.z_scale);
  if (e.attributes.empty()) return;
  out.key("attributes").begin_array();
  for (const StoredAttribute& a : e.attributes) {
    out.begin_object();
    reals(out.key("point"), a.point, 2);
    reals(out.key("second_point"), a.second_point, 2);
    out.key("angle").real(a.angle);
    out.key("height").real(a.height);
    out.key("strings").begin_array();
    for (const auto& text : a.strings) {
      if (text) out.text_bytes(*text);
      else out.null();
    }
    out.end_array().end_object();
  }
  out.end_array();
}

// Where each object goes: in the one document (each on a line of its own,
// inside its collection), or each a JSON object of its own line that names
// its collection first ("in").
struct Layout {
  bool lines = false;

  // An object of collection `in` (of block `block` when not null).
  void begin(JsonOut& out, const char* in, const KT_Block* block = nullptr) const {
    if (!lines) {
      out.line_break().begin_object();
      return;
    }
    out.begin_object().key("in").word(std::string_view(in));
    if (block != nullptr) out.key("block").integer(block->id);
  }
  void end(JsonOut& out) const {
    out.end_object();
    if (lines) out.end_line();
  }
};

// A record that made nothing, in its place: its kind, size and bytes.
void passed_record(JsonOut& out, const Layout& layout, const char* in, const KT_Block* block,
                   const KT_Stored& stored) {
  layout.begin(out, in, block);
  out.key("passed").begin_object();
  if (stored.size >= 2) out.key("kind").integer(static_cast<int16_t>(stored.data[0] | (stored.data[1] << 8)));
  else out.key("kind").null();
  out.key("size").integer(static_cast<long long>(stored.size));
  out.key("bytes").hex(stored.data, stored.size);
  out.end_object();
  layout.end(out);
}

// The drawables of a list (block null: the model space) and the records
// that made nothing between them.
void entity_list(JsonOut& out, const Layout& layout, const std::vector<LayerMembers>& layers,
                 const KT_Entity_List& list, const KT_Block* block, const KT_Carried* carried,
                 std::span<const KT_Stored> passed, StoredEntity& scratch) {
  const char* in = block != nullptr ? "block_entities" : "model_space";
  // The records that made nothing follow the drawable they followed in the
  // file (null: the list's first). While the list is in file order (as a
  // load leaves it) one cursor places them; an edited list looks them up.
  std::size_t next = 0;
  const auto see = [&](const KT_Drawable* d) {
    while (next < passed.size() && passed[next].after == d) ++next;
  };
  see(nullptr);
  for (const KT_Drawable& d : drawables_of(list)) see(&d);
  const bool in_order = next == passed.size();
  next = 0;
  std::unordered_map<const KT_Drawable*, std::vector<const KT_Stored*>> passed_after;
  if (!in_order)
    for (const KT_Stored& p : passed) passed_after[p.after].push_back(&p);
  const auto write_passed_after = [&](const KT_Drawable* d) {
    if (in_order) {
      for (; next < passed.size() && passed[next].after == d; ++next) passed_record(out, layout, in, block, passed[next]);
      return;
    }
    if (passed_after.empty()) return;
    const auto at = passed_after.find(d);
    if (at == passed_after.end()) return;
    for (const KT_Stored* p : at->second) passed_record(out, layout, in, block, *p);
    passed_after.erase(at);
  };
  if (!layout.lines) out.begin_array();
  write_passed_after(nullptr);
  for (const KT_Drawable& d : drawables_of(list)) {
    layout.begin(out, in, block);
    out.key("id").integer(d.id);
    out.key("color").integer(d.color);
    rgb(out, d.color);
    out.key("third").integer(d.third);
    out.key("layer").integer(d.layer);
    if (d.layer >= 0 && static_cast<std::size_t>(d.layer) < layers.size()) {
      const LayerMembers& layer = layers[static_cast<std::size_t>(d.layer)];
      out.key("layer_id").integer(layer.id);
      if (!layer.name_member.empty()) out.member(layer.name_member);
    }
    visit(d, DrawableValues{out});
    if (d.color_number != KT_NO_COLOR_NUMBER) {
      out.key("color_number").integer(d.color_number);
      if (d.color_number == 256) out.key("color_by").word("layer");
      else if (d.color_number == 0) out.key("color_by").word("block");
    }
    if (carried != nullptr)
      if (const KT_Stored* stored = carried->stored(d)) stored_members(out, *stored, scratch);
    layout.end(out);
    write_passed_after(&d);
  }
  // Records that followed a drawable no longer in the list: at its end, in
  // file order.
  for (const KT_Stored& p : passed)
    if (passed_after.contains(p.after)) passed_record(out, layout, in, block, p);
  if (!layout.lines) out.end_array();
}

// One collection under its key: each object on a line, its id first; after
// each object, what `after` writes of it (a block's entities, on lines of
// their own).
template <class T, class F, class A>
void collection(JsonOut& out, const Layout& layout, const char* name, CollectionRange<T> objects, F members,
                A after) {
  if (!layout.lines) out.line_break().key(name).begin_array();
  for (const T& o : objects) {
    layout.begin(out, name);
    out.key("id").integer(o.id);
    members(o);
    if (layout.lines) {
      layout.end(out);
      after(o);
    } else {
      after(o);
      layout.end(out);
    }
  }
  if (!layout.lines) out.end_array();
}

template <class T, class F>
void collection(JsonOut& out, const Layout& layout, const char* name, CollectionRange<T> objects, F members) {
  collection(out, layout, name, objects, members, [](const T&) {});
}

void dump(const KT_Drawing& d, const DumpHeader& header, JsonOut& out, const DumpCarried& with,
          const Layout layout) {
  const KT_Carried* carried = with.carried;
  const auto passed = [&](const KT_Block* block) {
    return carried != nullptr && with.passed_records ? carried->passed(block) : std::span<const KT_Stored>{};
  };
  const std::vector<LayerMembers> layers = layer_members(d, out.encoding());
  StoredEntity scratch;
  out.begin_object();
  if (layout.lines) out.key("in").word("file");
  out.key("version").utf8(header.version);
  if (header.generation < 0) out.key("generation").null();
  else out.key("generation").integer(header.generation);
  out.key("complete").boolean(header.complete);
  out.key("damage").begin_array();
  for (const std::string& line : header.damage) out.utf8(line);
  out.end_array();
  if (layout.lines) out.end_object().end_line();
  collection(out, layout, "layers", layers_of(d), [&out](const KT_Layer& l) {
    out.key("name").text(l.name);
    out.key("color").integer(l.color);
    rgb(out, l.color);
    out.key("line_type").integer(l.line_type);
    out.key("on").boolean(l.on);
    out.key("flag2").boolean(l.flag2);
    out.key("flag3").boolean(l.flag3);
  });
  collection(out, layout, "text_styles", text_styles_of(d), [&out](const KT_Text_Style& s) {
    out.key("name").text(s.name);
    out.key("font_file").text(s.font_file);
    out.key("big_font_file").text(s.big_font_file);
    reals(out.key("reals"), s.reals, 4);
    out.key("flags").integer(s.flags);
    out.key("last").integer(s.last);
    out.key("mark").integer(s.mark);
  });
  collection(out, layout, "dim_styles", dim_styles_of(d), [&out](const KT_Dim_Style& s) {
    out.key("name").text(s.name);
    out.key("second_name").text(s.second_name);
    integers(out.key("longs"), s.longs, KT_Dim_Style::kLongs);
    integers(out.key("shorts"), s.shorts, KT_Dim_Style::kShorts);
    reals(out.key("reals"), s.reals, KT_Dim_Style::kReals);
  });
  collection(out, layout, "line_types", line_types_of(d),
             [&out](const KT_Line_Type& t) { out.key("name").text(t.name); });
  collection(
      out, layout, "blocks", blocks_of(d),
      [&](const KT_Block& b) {
        out.key("name").text(b.name);
        out.key("description").text(b.description);
        point(out.key("base"), b.base);
        reals(out.key("bounds"), b.bounds, 4);
      },
      [&](const KT_Block& b) {
        if (!layout.lines) out.key("entities");
        entity_list(out, layout, layers, b.entities, &b, carried, passed(&b), scratch);
      });
  if (!layout.lines) out.line_break().key("model_space");
  entity_list(out, layout, layers, d.model_space, nullptr, carried, passed(nullptr), scratch);
  if (!layout.lines) out.newline().end_object().newline();
}

}  // namespace

void write_dump(const KT_Drawing& d, const DumpHeader& header, JsonOut& out, const DumpCarried& with) {
  dump(d, header, out, with, Layout{false});
}

void write_dump_lines(const KT_Drawing& d, const DumpHeader& header, JsonOut& out, const DumpCarried& with) {
  dump(d, header, out, with, Layout{true});
}

}  // namespace kttrv::view
