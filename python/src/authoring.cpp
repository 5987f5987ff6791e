// Building a drawing: kttrv.Drawing() and the add_ methods, through the
// kernel's creation calls (as a load makes the same objects). A drawable
// goes into the model space, or into the block whose add_ method made it.
#include <pybind11/stl.h>

#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "document.h"
#include "entities.h"
#include "format/entry_lock.h"
#include "format/font_file_names.h"
#include "host/kt_drawing_store.h"
#include "host/zirida_host.h"
#include "save/entity_records.h"
#include "save/torv_writer.h"
#include "view/stored_entity.h"

namespace ktpy {

namespace {

// Runs kernel creation calls on doc's drawing: the drawing is the kernel's
// current one, and `into` (null: none) its open block, for the call only.
// The entry points' lock keeps a load in another thread (which runs
// without the GIL) from seeing either.
template <class F>
void in_kernel(Document& doc, KT_Block* into, F&& make) {
  const auto lock = lock_entry_points();
  KT_Drawing* const before = g_current_drawing;
  KT_Drawing_Store& store = doc.drawing->store();
  KT_Block* const open_before = store.open_block;
  g_current_drawing = doc.drawing.get();
  store.open_block = into;
  try {
    make();
  } catch (...) {
    store.open_block = open_before;
    g_current_drawing = before;
    throw;
  }
  store.open_block = open_before;
  g_current_drawing = before;
}

double arr(const std::vector<double>& v, std::size_t i) { return i < v.size() ? v[i] : 0.0; }

// The layer and colour a new drawable gets. Point sets never get them from
// a file (their records' are not passed): they keep 0, 0 unless given.
void set_props(const DocPtr& doc, KT_Drawable* d, const py::object& layer, const py::object& color, bool bare) {
  if (bare && layer.is_none() && color.is_none()) return;
  const long number = layer.is_none() ? 0 : layer_number_of(doc, layer);
  d->layer = number;
  set_color(EntityRef{doc, d, nullptr}, color.is_none() ? py::int_(256) : color);
}

py::object made(const DocPtr& doc, KT_Drawable* d, KT_Block* into, const char* what) {
  if (d == nullptr) throw std::runtime_error(std::string("the kernel made no ") + what);
  return wrap_entity(doc, d, into);
}

void append_counted(std::vector<unsigned char>& out, const std::string& s) {
  const auto n = static_cast<int16_t>(s.size());
  out.push_back(static_cast<unsigned char>(n & 0xFF));
  out.push_back(static_cast<unsigned char>((n >> 8) & 0xFF));
  out.insert(out.end(), s.begin(), s.end());
}

template <class T>
void put_at(std::vector<unsigned char>& out, std::size_t at, T value) {
  std::memcpy(out.data() + at, &value, sizeof value);
}

// One attribute as the caller gives it: a str (its value), or a mapping
// with value or strings, and point, second_point, angle (degrees), height.
struct NewAttrib {
  double point[2] = {};
  double second_point[2] = {};
  double angle = 0.0;
  double height = 0.0;
  std::optional<std::string> strings[3];
};

NewAttrib attrib_of(const py::handle& a, const Ge_Pt& at) {
  NewAttrib out;
  out.point[0] = out.second_point[0] = at.x;
  out.point[1] = out.second_point[1] = at.y;
  if (py::isinstance<py::str>(a) || py::isinstance<py::bytes>(a)) {
    out.strings[2] = to_kernel_text(a, "attribute");
    return out;
  }
  if (!py::isinstance<py::dict>(a)) throw py::type_error("an attribute is a str (its value) or a dict");
  const auto d = py::reinterpret_borrow<py::dict>(a);
  for (const auto& [key, value] : d) {
    const std::string k = key.cast<std::string>();
    if (k == "value") {
      out.strings[2] = to_kernel_text(value, "value");
    } else if (k == "strings") {
      const auto s = py::reinterpret_borrow<py::sequence>(value);
      if (py::len(s) != 3) throw py::value_error("an attribute's strings are 3 (each a str or None)");
      for (std::size_t i = 0; i < 3; ++i)
        if (!s[i].is_none()) out.strings[i] = to_kernel_text(s[i], "strings");
    } else if (k == "point" || k == "second_point") {
      const Ge_Pt p = to_point(value, k.c_str());
      double* into = k == "point" ? out.point : out.second_point;
      into[0] = p.x;
      into[1] = p.y;
    } else if (k == "angle") {
      out.angle = value.cast<double>();
    } else if (k == "height") {
      out.height = value.cast<double>();
    } else {
      throw py::value_error("an attribute has no member '" + k + "' (value, strings, point, second_point, angle, height)");
    }
  }
  for (const auto& s : out.strings)
    if (s && s->size() > 32767) throw py::value_error("an attribute string holds at most 32767 bytes");
  return out;
}

// The kernel has no call for an insert's attributes: they are what a file
// stores behind the insert's record. The record is made here as the writer
// writes the insert, with its attribute run, and handed to the drawing's
// carried content as a load hands it a record it read: the save writes it
// as stored while the insert is unchanged, and a load reads it back.
void carry_attributes(Document& doc, KT_Insert_Entity& insert, const std::vector<NewAttrib>& attribs,
                      std::optional<int> color_number) {
  std::vector<unsigned char> bytes;
  {
    TorvWriter w;
    w.memory = &bytes;
    w.drawing = doc.drawing.get();
    SaveReport ignored;
    write_insert(w, insert, ignored);
    writer_flush(w);
  }
  std::vector<unsigned char> head;
  {
    TorvWriter w;
    w.memory = &head;
    w.drawing = doc.drawing.get();
    SaveReport ignored;
    write_entity_head(w, kttrv::view::kInsertKind, insert, false, ignored);
    writer_flush(w);
  }
  const std::size_t payload = head.size();
  // The head is kind, flags, layer, two 32-bit values, colour number: the
  // number given (by layer 256, by block 0) goes in as stored.
  if (color_number && (*color_number == 256 || *color_number == 0)) put_at<int16_t>(bytes, payload - 2, static_cast<int16_t>(*color_number));
  int32_t mask = 0;
  std::memcpy(&mask, bytes.data() + payload, 4);
  put_at<int32_t>(bytes, payload, mask | 0x400);  // the attribute run follows
  const auto count = static_cast<uint32_t>(attribs.size());
  bytes.resize(bytes.size() + 4);
  put_at<uint32_t>(bytes, bytes.size() - 4, count);
  for (const NewAttrib& a : attribs) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 10 + 102);  // a bare property block (flags 0), the fixed record
    const std::size_t rec = at + 10;
    put_at<double>(bytes, rec + 0, a.point[0]);
    put_at<double>(bytes, rec + 8, a.point[1]);
    put_at<int32_t>(bytes, rec + 32, a.strings[0] ? 1 : 0);
    put_at<int32_t>(bytes, rec + 36, a.strings[1] ? 1 : 0);
    put_at<double>(bytes, rec + 44, a.angle);
    put_at<double>(bytes, rec + 52, a.height);
    put_at<int32_t>(bytes, rec + 68, a.strings[2] ? 1 : 0);
    put_at<double>(bytes, rec + 78, a.second_point[0]);
    put_at<double>(bytes, rec + 86, a.second_point[1]);
    for (const auto& s : a.strings)
      if (s) append_counted(bytes, *s);
  }
  kttrv::LoadObserver* carry = zirida_carry(*doc.drawing);
  if (!doc.loaded && zirida_carried(*doc.drawing)->generation() < 0) carry->file(11);  // what a save writes
  kttrv::StoredRecord r;
  r.kind = kttrv::StoredKind::entity;
  r.section = "entities";
  r.bytes = bytes;
  r.object = &insert;
  r.entity_kind = kttrv::view::kInsertKind;
  r.payload = static_cast<uint32_t>(payload);
  carry->stored(r);
}

std::vector<double> reals_of(const py::object& v, std::size_t n, const char* what) {
  std::vector<double> out = v.cast<std::vector<double>>();
  if (out.size() != n) throw py::value_error(std::string(what) + ": " + std::to_string(n) + " numbers");
  return out;
}

struct Target {
  DocPtr doc;
  KT_Block* block;
};

// The add_ methods of drawables, for the model space and for a block.
template <class C>
void def_adders(C& c, std::function<Target(const py::object&)> target_of) {
  c.def(
      "add_point",
      [target_of](const py::object& self, const py::handle& at, const py::object& layer, const py::object& color) {
        const Target t = target_of(self);
        KT_Drawable* d = nullptr;
        const Ge_Pt p = to_point(at, "at");
        const double v[3] = {p.x, p.y, p.z};
        in_kernel(*t.doc, t.block, [&] { api_kt_create_point(d, v); });
        py::object e = made(t.doc, d, t.block, "point");
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("at"), py::kw_only(), py::arg("layer") = py::none(), py::arg("color") = py::none(),
      "Adds a Point. Every add_ method takes layer= (a Layer, name or number; default layer 0) and color= (a "
      "number or Color; default BYLAYER).");
  c.def(
      "add_line",
      [target_of](const py::object& self, const py::handle& start, const py::handle& end, const py::object& layer,
                  const py::object& color) {
        const Target t = target_of(self);
        KT_Drawable* d = nullptr;
        const Ge_Pt a = to_point(start, "start"), b = to_point(end, "end");
        const double va[3] = {a.x, a.y, a.z}, vb[3] = {b.x, b.y, b.z};
        in_kernel(*t.doc, t.block, [&] { api_kt_create_line(d, va, vb); });
        py::object e = made(t.doc, d, t.block, "line");
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("start"), py::arg("end"), py::kw_only(), py::arg("layer") = py::none(), py::arg("color") = py::none(),
      "Adds a Line.");
  c.def(
      "add_circle",
      [target_of](const py::object& self, const py::handle& centre, double radius, const py::object& layer,
                  const py::object& color) {
        const Target t = target_of(self);
        KT_Drawable* d = nullptr;
        const Ge_Pt p = to_point(centre, "centre");
        in_kernel(*t.doc, t.block, [&] { d = api_kt_create_circle(p.x, p.y, radius); });
        py::object e = made(t.doc, d, t.block, "circle");
        static_cast<KT_Circle_Entity*>(d)->centre.z = p.z;
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("centre"), py::arg("radius"), py::kw_only(), py::arg("layer") = py::none(), py::arg("color") = py::none(),
      "Adds a Circle.");
  c.def(
      "add_arc",
      [target_of](const py::object& self, const py::handle& centre, double radius, double start, double end,
                  const py::object& layer, const py::object& color) {
        const Target t = target_of(self);
        const Ge_Pt p = to_point(centre, "centre");
        const double v[3] = {p.x, p.y, p.z};
        KT_Drawable* d = nullptr;
        in_kernel(*t.doc, t.block, [&] { d = api_kt_create_arc(v, radius, start, end); });
        py::object e = made(t.doc, d, t.block, "arc");
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("centre"), py::arg("radius"), py::arg("start_angle"), py::arg("end_angle"), py::kw_only(),
      py::arg("layer") = py::none(), py::arg("color") = py::none(), "Adds an Arc (angles in radians).");
  c.def(
      "add_solid",
      [target_of](const py::object& self, const py::sequence& corners, const py::object& layer, const py::object& color) {
        const Target t = target_of(self);
        const std::size_t n = py::len(corners);
        if (n != 3 && n != 4) throw py::value_error("a solid has 3 or 4 corners");
        double v[4][3];
        for (std::size_t i = 0; i < 4; ++i) {
          const Ge_Pt p = to_point(corners[std::min(i, n - 1)], "corner");  // 3 corners: the third twice
          v[i][0] = p.x;
          v[i][1] = p.y;
          v[i][2] = p.z;
        }
        KT_Drawable* d = nullptr;
        in_kernel(*t.doc, t.block, [&] { api_kt_create_solid(d, v[0], v[1], v[2], v[3], 4); });
        py::object e = made(t.doc, d, t.block, "solid");
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("corners"), py::kw_only(), py::arg("layer") = py::none(), py::arg("color") = py::none(),
      "Adds a Solid of 3 or 4 corners.");
  c.def(
      "add_text",
      [target_of](const py::object& self, const py::handle& text, const py::handle& at, double height,
                  const py::handle& style, double width_factor, double rotation, const py::object& layer,
                  const py::object& color) {
        const Target t = target_of(self);
        const std::string s = to_kernel_text(text, "text"), st = to_kernel_text(style, "style");
        const Ge_Pt p = to_point(at, "at");
        const double v[3] = {p.x, p.y, p.z};
        KT_Drawable* d = nullptr;
        in_kernel(*t.doc, t.block, [&] { api_kt_create_text(d, s.c_str(), st.c_str(), v, height, width_factor, rotation); });
        py::object e = made(t.doc, d, t.block, "text");
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("text"), py::arg("at"), py::arg("height") = 1.0, py::kw_only(), py::arg("style") = "STANDARD",
      py::arg("width_factor") = 1.0, py::arg("rotation") = 0.0, py::arg("layer") = py::none(),
      py::arg("color") = py::none(), "Adds a Text (rotation in radians).");
  c.def(
      "add_insert",
      [target_of](const py::object& self, const py::handle& block, const py::handle& at, const py::handle& scale,
                  double rotation, const py::object& attribs, const py::object& layer, const py::object& color) {
        const Target t = target_of(self);
        std::string name;
        if (py::isinstance<BlockRef>(block)) {
          const BlockRef& b = block.cast<const BlockRef&>();
          if (b.doc != t.doc) throw py::value_error("the block belongs to another drawing");
          name = b.block->name ? b.block->name : "";
        } else {
          name = to_kernel_text(block, "block");
          if (t.doc->find_block(name) == nullptr) throw py::key_error("no block named " + std::string(py::str(block)));
        }
        const Ge_Pt p = to_point(at, "at");
        const Ge_Pt s = to_point(scale, "scale");
        const double z_scale = py::len(scale) == 3 ? s.z : 1.0;
        std::vector<NewAttrib> list;
        if (!attribs.is_none())
          for (const py::handle& a : py::iter(attribs)) list.push_back(attrib_of(a, p));
        const double v[3] = {p.x, p.y, p.z};
        KT_Drawable* d = nullptr;
        in_kernel(*t.doc, t.block, [&] { api_kt_create_insert(d, v, s.x, s.y, z_scale, rotation, name.c_str()); });
        py::object e = made(t.doc, d, t.block, "insert");
        set_props(t.doc, d, layer, color, false);
        if (!list.empty()) {
          const int number = d->color_number == KT_NO_COLOR_NUMBER ? -1 : d->color_number;
          carry_attributes(*t.doc, *static_cast<KT_Insert_Entity*>(d), list, number < 0 ? std::nullopt : std::optional<int>(number));
        }
        return e;
      },
      py::arg("block"), py::arg("at"), py::arg("scale") = py::make_tuple(1.0, 1.0, 1.0), py::arg("rotation") = 0.0,
      py::arg("attribs") = py::none(), py::kw_only(), py::arg("layer") = py::none(), py::arg("color") = py::none(),
      R"(Adds an Insert of a block (a Block or its name) at a point, with scale
(x, y[, z]) and rotation (radians). attribs: its attribute records, each a
str (the value) or a dict of value (or strings: 3, each str or None),
point, second_point, angle (degrees), height.)");
  c.def(
      "add_polyline",
      [target_of](const py::object& self, const py::sequence& points, bool closed, const py::object& layer,
                  const py::object& color) {
        const Target t = target_of(self);
        std::vector<Ge_Pt> pts;
        for (const py::handle& p : points) pts.push_back(to_point(p, "vertex"));
        if (pts.empty()) throw py::value_error("a polyline has at least one vertex");
        KT_Drawable* d = nullptr;
        in_kernel(*t.doc, t.block, [&] {
          api_kt_create_polyline(d, static_cast<long>(pts.size()), closed);
          for (std::size_t i = 0; d != nullptr && i < pts.size(); ++i)
            api_kt_set_pline_pos(d, static_cast<long>(i), pts[i].x, pts[i].y, pts[i].z);
        });
        py::object e = made(t.doc, d, t.block, "polyline");
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("points"), py::arg("closed") = false, py::kw_only(), py::arg("layer") = py::none(),
      py::arg("color") = py::none(),
      "Adds a Polyline.");
  c.def(
      "add_point_set",
      [target_of](const py::object& self, const py::sequence& points, const py::object& layer, const py::object& color) {
        const Target t = target_of(self);
        std::vector<Ge_Pt> pts;
        for (const py::handle& p : points) pts.push_back(to_point(p, "vertex"));
        if (pts.empty()) throw py::value_error("a point set has at least one vertex");
        KT_Drawable* d = nullptr;
        in_kernel(*t.doc, t.block, [&] {
          api_kt_create_lines(d, static_cast<long>(pts.size()));
          for (std::size_t i = 0; d != nullptr && i < pts.size(); ++i)
            api_kt_set_ptset_pos(d, static_cast<long>(i), pts[i].x, pts[i].y, pts[i].z);
        });
        py::object e = made(t.doc, d, t.block, "point set");
        set_props(t.doc, d, layer, color, true);
        return e;
      },
      py::arg("points"), py::kw_only(), py::arg("layer") = py::none(), py::arg("color") = py::none(),
      "Adds a PointSet. A file gives point sets no layer or colour: given either, a save counts it lost.");
  c.def(
      "add_dimension",
      [target_of](const py::object& self, const py::sequence& points, const py::object& strings, const py::object& reals,
                  int value, const py::object& layer, const py::object& color) {
        const Target t = target_of(self);
        if (py::len(points) != 7) throw py::value_error("a dimension has 7 points (the fourth the same as the first)");
        double p[7][3];
        for (std::size_t i = 0; i < 7; ++i) {
          const Ge_Pt q = to_point(points[i], "point");
          p[i][0] = q.x;
          p[i][1] = q.y;
          p[i][2] = q.z;
        }
        std::string s[3];
        const auto seq = py::reinterpret_borrow<py::sequence>(strings);
        if (py::len(seq) != 3) throw py::value_error("a dimension has 3 strings");
        for (std::size_t i = 0; i < 3; ++i) s[i] = to_kernel_text(seq[i], "strings");
        const std::vector<double> r = reals_of(reals, 6, "reals");
        KT_Drawable* d = nullptr;
        in_kernel(*t.doc, t.block, [&] {
          d = api_kt_create_dimension(s[0].c_str(), s[1].c_str(), s[2].c_str(), p[0], p[1], p[2], p[3], p[4], p[5], p[6],
                                      arr(r, 0), arr(r, 1), arr(r, 2), arr(r, 3), arr(r, 4), arr(r, 5), value);
        });
        py::object e = made(t.doc, d, t.block, "dimension");
        set_props(t.doc, d, layer, color, false);
        return e;
      },
      py::arg("points"), py::arg("strings") = py::make_tuple("", "", ""),
      py::arg("reals") = py::make_tuple(0.0, 0.0, 0.0, 0.0, 0.0, 0.0), py::arg("value") = 0, py::kw_only(),
      py::arg("layer") = py::none(), py::arg("color") = py::none(), "Adds a Dimension.");
}

}  // namespace

void bind_authoring(py::module_& m, py::class_<Document, DocPtr>& drawing) {
  (void)m;
  drawing.def(py::init([] { return std::make_shared<Document>(); }), "A new, empty drawing.");
  drawing.def(
      "add_layer",
      [](const DocPtr& doc, const py::handle& name, int color, int line_type, bool on) {
        const std::string n = to_kernel_text(name, "name");
        if (n.empty()) throw py::value_error("a layer has a name");
        if (color < 1 || color > 255) throw py::value_error("a layer's colour number is 1 to 255");
        for (KT_Object* o = doc->drawing->layers.first; o != nullptr; o = o->next)
          if (const char* s = static_cast<KT_Layer*>(o)->name; s != nullptr && strcasecmp(s, n.c_str()) == 0)
            throw py::value_error("there is a layer named " + std::string(py::str(name)) + " already");
        KT_Layer* l = nullptr;
        in_kernel(*doc, nullptr, [&] {
          api_kt_create_layer(l, n.c_str(), color_value_of(nullptr, color, 0), line_type, on, false, false);
        });
        if (l == nullptr) throw std::runtime_error("the kernel made no layer");
        doc->layers_changed();
        return wrap_layer(doc, doc->layer_count() - 1);
      },
      py::arg("name"), py::arg("color") = 7, py::arg("line_type") = 0, py::arg("on") = true,
      "Adds a layer (colour: a palette number, 1..255) and returns it.");
  drawing.def(
      "add_text_style",
      [](const DocPtr& doc, const py::handle& name, const py::handle& font_file, const py::handle& big_font_file,
         double height, double width_factor, double oblique, int flags) {
        if (flags < 0 || flags > 0xFF) throw py::value_error("a text style's flags are 0 to 255");
        const std::string n = to_kernel_text(name, "name");
        std::string f = to_kernel_text(font_file, "font_file"), b = to_kernel_text(big_font_file, "big_font_file");
        // Font names as a load gives them back: lower case, no folder, .shx or .ttf.
        normalize_font_file(f);
        normalize_font_file(b);
        KT_Text_Style* s = nullptr;
        in_kernel(*doc, nullptr, [&] {
          api_kt_create_text_style(s, n.c_str(), f.c_str(), b.c_str(), height, width_factor, oblique, 0.0, flags, 0);
          if (s != nullptr && (flags & 0x4) != 0) api_kt_set_text_style_mark(s, 256);  // as a load marks it
        });
        if (s == nullptr) throw std::runtime_error("the kernel made no text style");
        return py::cast(TextStyleRef{doc, s});
      },
      py::arg("name"), py::arg("font_file") = "", py::arg("big_font_file") = "", py::arg("height") = 0.0,
      py::arg("width_factor") = 1.0, py::arg("oblique") = 0.0, py::arg("flags") = 0,
      "Adds a text style (oblique in radians; font names as a load gives them back: lower case, no folder, .shx or .ttf) and returns it.");
  drawing.def(
      "add_dim_style",
      [](const DocPtr& doc, const py::handle& name, const py::handle& second_name, const py::object& longs,
         const py::object& shorts, const py::object& reals) {
        const std::string n = to_kernel_text(name, "name"), s2 = to_kernel_text(second_name, "second_name");
        const std::vector<long> l = longs.cast<std::vector<long>>();
        const std::vector<long> sh = shorts.cast<std::vector<long>>();
        const std::vector<double> r = reals_of(reals, KT_Dim_Style::kReals, "reals");
        if (l.size() != KT_Dim_Style::kLongs) throw py::value_error("longs: 3 numbers");
        if (sh.size() != KT_Dim_Style::kShorts) throw py::value_error("shorts: 13 numbers");
        short sv[KT_Dim_Style::kShorts];
        for (int i = 0; i < KT_Dim_Style::kShorts; ++i) {
          const long v = sh[static_cast<std::size_t>(i)];
          if (v < std::numeric_limits<short>::min() || v > std::numeric_limits<short>::max())
            throw py::value_error("shorts: 16-bit numbers");
          sv[i] = static_cast<short>(v);
        }
        KT_Dim_Style* made_style = nullptr;
        in_kernel(*doc, nullptr, [&] {
          api_kt_create_dim_style(n.c_str(), s2.c_str(), l.data(), sv, r.data());
          made_style = doc->drawing->store().made_dim_style;
          doc->drawing->store().made_dim_style = nullptr;
        });
        if (made_style == nullptr) throw std::runtime_error("the kernel made no dimension style");
        return py::cast(DimStyleRef{doc, made_style});
      },
      py::arg("name"), py::arg("second_name") = "", py::arg("longs") = std::vector<long>(3, 0),
      py::arg("shorts") = std::vector<long>(13, 0), py::arg("reals") = std::vector<double>(16, 0.0),
      "Adds a dimension style and returns it.");
  drawing.def(
      "add_block",
      [](const DocPtr& doc, const py::handle& name, const py::handle& base) {
        const std::string n = to_kernel_text(name, "name");
        if (doc->find_block(n) != nullptr) throw py::value_error("there is a block named " + std::string(py::str(name)) + " already");
        const Ge_Pt p = to_point(base, "base");
        const double v[3] = {p.x, p.y, p.z};
        KT_Block* b = nullptr;
        in_kernel(*doc, nullptr, [&] {
          api_kt_create_block(b, n.c_str(), v);
          api_kt_end_block(b);
        });
        if (b == nullptr) throw std::runtime_error("the kernel made no block");
        return py::cast(BlockRef{doc, b});
      },
      py::arg("name"), py::arg("base") = py::make_tuple(0.0, 0.0, 0.0),
      "Adds a block definition and returns it: its add_ methods fill it.");

  def_adders(drawing, [](const py::object& self) { return Target{self.cast<DocPtr>(), nullptr}; });
  auto block = py::reinterpret_borrow<py::class_<BlockRef>>(m.attr("Block"));
  def_adders(block, [](const py::object& self) {
    const BlockRef& b = self.cast<const BlockRef&>();
    return Target{b.doc, b.block};
  });
}

}  // namespace ktpy
