// The entity views: one class a drawable kind, each member read from (and
// written to) the kernel's object itself.
#include "entities.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "host/zirida_host.h"
#include "view/drawables.h"
#include "view/kind_names.h"
#include "view/ranges.h"

namespace ktpy {

using kttrv::view::Placement;
using kttrv::view::StoredEntity;

namespace {

template <class T>
T& as(const EntityRef& e) {
  return *static_cast<T*>(e.d);
}

py::object optional_int(const std::optional<int16_t>& v) { return v ? py::object(py::int_(*v)) : py::object(py::none()); }

py::object xdata_value(const kttrv::view::XdataItem& item) {
  using Type = kttrv::view::XdataItem::Type;
  switch (item.type) {
    case Type::text: return py::str(from_kernel_text(item.text.c_str()));
    case Type::point: return py::make_tuple(item.point[0], item.point[1], item.point[2]);
    case Type::real: return py::float_(item.real);
    case Type::integer: return py::int_(item.integer);
    case Type::none: break;
  }
  return py::none();
}

// A stored attribute record, as Python sees it.
struct Attrib {
  py::tuple point, second_point;
  double angle = 0.0, height = 0.0;
  py::list strings;
};

py::list attribs_of(const EntityRef& e) {
  py::list out;
  const auto s = stored_of(e);
  if (!s) return out;
  for (const kttrv::view::StoredAttribute& a : s->attributes) {
    Attrib v;
    v.point = py::make_tuple(a.point[0], a.point[1]);
    v.second_point = py::make_tuple(a.second_point[0], a.second_point[1]);
    v.angle = a.angle;
    v.height = a.height;
    for (const auto& text : a.strings) v.strings.append(text ? from_kernel_text(text->c_str()) : py::object(py::none()));
    out.append(py::cast(std::move(v)));
  }
  return out;
}

py::dict stored_dict(const EntityRef& e) {
  py::dict out;
  const auto s = stored_of(e);
  if (!s) return out;
  if (s->line_type) out["line_type"] = *s->line_type;
  if (s->color_number) out["color_number"] = *s->color_number;
  if (s->has_extrusion) out["extrusion"] = py::make_tuple(s->extrusion[0], s->extrusion[1], s->extrusion[2]);
  if (!s->xdata.empty()) {
    py::list xdata;
    for (const auto& item : s->xdata) xdata.append(py::make_tuple(item.code, xdata_value(item)));
    out["xdata"] = xdata;
  }
  if (s->z_scale) out["z_scale"] = *s->z_scale;
  if (s->insertion_z) out["insertion_z"] = *s->insertion_z;
  if (s->second_point) out["second_point"] = py::make_tuple((*s->second_point)[0], (*s->second_point)[1], (*s->second_point)[2]);
  if (s->polyline_flags) out["polyline_flags"] = *s->polyline_flags;
  if (!s->vertices.empty()) {
    py::list vertices;
    for (const kttrv::view::StoredVertex& v : s->vertices) {
      py::dict one;
      one["mask"] = v.mask;
      one["z"] = v.z;
      if (v.real_count > 0) one["reals"] = std::vector<double>(v.reals, v.reals + v.real_count);
      if (v.flags) one["flags"] = *v.flags;
      if (v.value_count > 0) one["values"] = std::vector<int16_t>(v.values, v.values + v.value_count);
      vertices.append(one);
    }
    out["vertices"] = vertices;
  }
  if (s->chain) {
    py::dict chain;
    chain["flags"] = s->chain->flags;
    chain["real"] = s->chain->real;
    chain["value"] = s->chain->value;
    chain["extras_field"] = s->chain->extras_field;
    if (!s->chain->extras.empty()) {
      py::list extras;
      for (const auto& x : s->chain->extras) extras.append(py::make_tuple(x[0], x[1], x[2]));
      chain["extras"] = extras;
    }
    out["chain"] = chain;
  }
  out["whole"] = s->whole;
  return out;
}

py::array_t<double> vertices_of(const KT_Vertex_Entity& v) {
  const long n = v.vertices != nullptr && v.count > 0 ? v.count : 0;
  py::array_t<double> out({static_cast<py::ssize_t>(n), py::ssize_t{3}});
  auto w = out.mutable_unchecked<2>();
  for (long i = 0; i < n; ++i) {
    w(i, 0) = v.vertices[i].x;
    w(i, 1) = v.vertices[i].y;
    w(i, 2) = v.vertices[i].z;
  }
  return out;
}

void set_vertices(const EntityRef& e, const py::handle& points) {
  auto& v = as<KT_Vertex_Entity>(e);
  const py::sequence seq = py::reinterpret_borrow<py::sequence>(points);
  if (static_cast<long>(py::len(seq)) != v.count)
    throw py::value_error("a polyline's or point set's vertex count is fixed at its creation (" + std::to_string(v.count) + ")");
  for (long i = 0; i < v.count; ++i) v.vertices[i] = to_point(seq[static_cast<std::size_t>(i)], "vertex");
}

Ge_Pt moved(const Ge_Pt& p, const Ge_Pt& by) { return {p.x + by.x, p.y + by.y, p.z + by.z}; }

// Moves every point of a drawable by `by`.
struct Mover {
  Ge_Pt by;
  void operator()(KT_Point_Entity& e) const { e.at = moved(e.at, by); }
  void operator()(KT_Line_Entity& e) const {
    e.start = moved(e.start, by);
    e.end = moved(e.end, by);
  }
  void operator()(KT_Solid_Entity& e) const {
    for (Ge_Pt& p : e.corners) p = moved(p, by);
  }
  void operator()(KT_Circle_Entity& e) const { e.centre = moved(e.centre, by); }
  void operator()(KT_Arc_Entity& e) const { e.centre = moved(e.centre, by); }
  void operator()(KT_Text_Entity& e) const { e.at = moved(e.at, by); }
  void operator()(KT_Insert_Entity& e) const { e.at = moved(e.at, by); }
  void operator()(KT_Dimension_Entity& e) const {
    for (Ge_Pt& p : e.points) p = moved(p, by);
  }
  void operator()(KT_Vertex_Entity& e) const {
    for (long i = 0; e.vertices != nullptr && i < e.count; ++i) e.vertices[i] = moved(e.vertices[i], by);
  }
};

void move_drawable(KT_Drawable& d, const Ge_Pt& by) {
  const Mover m{by};
  switch (d.kind) {
    case KT_Drawable_Kind::point: return m(static_cast<KT_Point_Entity&>(d));
    case KT_Drawable_Kind::line: return m(static_cast<KT_Line_Entity&>(d));
    case KT_Drawable_Kind::solid: return m(static_cast<KT_Solid_Entity&>(d));
    case KT_Drawable_Kind::circle: return m(static_cast<KT_Circle_Entity&>(d));
    case KT_Drawable_Kind::arc: return m(static_cast<KT_Arc_Entity&>(d));
    case KT_Drawable_Kind::text: return m(static_cast<KT_Text_Entity&>(d));
    case KT_Drawable_Kind::insert: return m(static_cast<KT_Insert_Entity&>(d));
    case KT_Drawable_Kind::dimension: return m(static_cast<KT_Dimension_Entity&>(d));
    case KT_Drawable_Kind::polyline:
    case KT_Drawable_Kind::point_set: return m(static_cast<KT_Vertex_Entity&>(d));
  }
}

// Takes a drawable out of its list (the kernel keeps its storage).
void delete_entity(const EntityRef& e) {
  if (e.doc->deleted.count(e.d) != 0) throw py::value_error("the entity was deleted already");
  KT_Entity_List& list = entity_list(e.doc, e.owner);
  KT_Drawable* before = nullptr;
  KT_Drawable* at = list.first;
  while (at != nullptr && at != e.d) {
    before = at;
    at = at->next;
  }
  if (at == nullptr) throw py::value_error("the entity is not in its list");
  (before != nullptr ? before->next : list.first) = at->next;
  if (list.last == at) list.last = before;
  at->next = nullptr;
  e.doc->deleted.insert(at);
}

std::string entity_repr(const EntityRef& e) {
  std::string kind(kttrv::view::kind_name(e.d->kind));
  std::string out = "<kttrv." + kind + " #" + std::to_string(e.d->id);
  if (const KT_Layer* l = e.doc->layer(e.d->layer)) out += std::string(" on ") + (l->name ? l->name : "");
  return out + ">";
}

template <class Ref, class Kernel>
void def_point(py::class_<Ref, EntityRef>& c, const char* name, Ge_Pt Kernel::*member, const char* doc) {
  c.def_property(
      name, [member](const Ref& e) { return from_point(static_cast<Kernel*>(e.d)->*member); },
      [member, name](const Ref& e, const py::handle& v) { static_cast<Kernel*>(e.d)->*member = to_point(v, name); }, doc);
}

template <class Ref, class Kernel>
void def_real(py::class_<Ref, EntityRef>& c, const char* name, double Kernel::*member, const char* doc) {
  c.def_property(
      name, [member](const Ref& e) { return static_cast<Kernel*>(e.d)->*member; },
      [member](const Ref& e, double v) { static_cast<Kernel*>(e.d)->*member = v; }, doc);
}

}  // namespace

std::optional<StoredEntity> stored_of(const EntityRef& e) {
  const KT_Carried* carried = zirida_carried(*e.doc->drawing);
  if (carried == nullptr) return std::nullopt;
  const KT_Stored* s = carried->stored(*e.d);
  if (s == nullptr) return std::nullopt;
  return kttrv::view::decode_stored_entity(s->bytes());
}

py::object box_or_none(const kttrv::view::Extents& e) {
  if (e.empty) return py::none();
  return py::cast(Box{e.min, e.max, !e.cut});
}

long long walk_budget(const Document& d) { return d.loaded ? kttrv::view::work_budget(d.file_bytes) : 0; }

long layer_number_of(const DocPtr& doc, const py::handle& layer) {
  if (py::isinstance<LayerRef>(layer)) {
    const LayerRef& l = layer.cast<const LayerRef&>();
    if (l.doc != doc) throw py::value_error("the layer belongs to another drawing");
    return l.number;
  }
  if (py::isinstance<py::int_>(layer)) {
    const long n = layer.cast<long>();
    if (n < 0 || n >= doc->layer_count()) throw py::index_error("no layer number " + std::to_string(n));
    return n;
  }
  const std::string name = to_kernel_text(layer, "layer");
  const long count = doc->layer_count();
  for (long i = 0; i < count; ++i)
    if (const KT_Layer* l = doc->layer(i); l != nullptr && l->name != nullptr && name == l->name) return i;
  for (long i = 0; i < count; ++i)
    if (const KT_Layer* l = doc->layer(i); l != nullptr && l->name != nullptr && strcasecmp(name.c_str(), l->name) == 0)
      return i;
  throw py::key_error("no layer named " + std::string(py::str(layer)));
}

void set_color(const EntityRef& e, const py::handle& value) {
  int number = 0;
  if (py::isinstance<Color>(value)) {
    const Color& c = value.cast<const Color&>();
    if (!c.number) {
      e.d->color = c.value;
      e.d->color_number = KT_NO_COLOR_NUMBER;
      return;
    }
    number = *c.number;
  } else {
    number = value.cast<int>();
  }
  if (number < 0 || number > 256) throw py::value_error("a colour number is 0 (by block), 1 to 255, or 256 (by layer)");
  e.d->color = color_value_of(e.doc, number, e.d->layer);
  e.d->color_number = static_cast<int16_t>(number);
}

bool Walk::one(KT_Drawable* d, KT_Block* owner, const Placement& placement, int depth) {
  if (++visits > kttrv::view::kMaxVisits) return false;
  if (budget > 0) {
    work += 1;
    if (d->kind == KT_Drawable_Kind::polyline || d->kind == KT_Drawable_Kind::point_set)
      work += std::max(0L, static_cast<const KT_Vertex_Entity&>(*d).count);
    if (work > budget) return false;
  }
  visit(d, owner, placement);
  if (d->kind != KT_Drawable_Kind::insert) return true;
  const auto& insert = static_cast<const KT_Insert_Entity&>(*d);
  KT_Block* block = doc.find_block(insert.block_name ? insert.block_name : "");
  if (block == nullptr || depth >= kttrv::view::kMaxInsertDepth) return true;
  for (const KT_Block* b : open)
    if (b == block) return true;
  open.push_back(block);
  const bool ok = list(block->entities, block, placement.then_inner(Placement::of_insert(insert, block->base)), depth + 1);
  open.pop_back();
  return ok;
}

bool Walk::list(const KT_Entity_List& entities, KT_Block* owner, const Placement& placement, int depth) {
  for (KT_Drawable* d = entities.first; d != nullptr; d = d->next)
    if (!one(d, owner, placement, depth)) return false;
  return true;
}

namespace {
// kttrv.Walked, made when the module is bound; the module keeps it.
PyObject* g_walked = nullptr;
}  // namespace

py::list placed_list(const DocPtr& doc, const std::function<bool(Walk&)>& run) {
  py::list out = py::reinterpret_steal<py::list>(PyObject_CallNoArgs(g_walked));
  if (!out) throw py::error_already_set();
  Walk walk{*doc, [&](KT_Drawable* d, KT_Block* owner, const Placement& p) {
              out.append(py::make_tuple(wrap_entity(doc, d, owner), py::cast(p)));
            }};
  const bool whole = run(walk);
  out.attr("complete") = whole;
  if (!whole) {
    std::string limit = std::to_string(kttrv::view::kMaxVisits) + " drawables";
    if (walk.budget > 0) limit += " or " + std::to_string(walk.budget) + " units of work (a drawable or a vertex each)";
    py::module_::import("warnings").attr("warn")("the walk stops after " + limit + " (inserts through their blocks)",
                                                 error_class("ReadWarning"), 2);
  }
  return out;
}

py::object wrap_entity(const DocPtr& doc, KT_Drawable* d, KT_Block* owner) {
  if (d == nullptr) return py::none();
  switch (d->kind) {
    case KT_Drawable_Kind::point: return py::cast(PointRef{{doc, d, owner}});
    case KT_Drawable_Kind::line: return py::cast(LineRef{{doc, d, owner}});
    case KT_Drawable_Kind::solid: return py::cast(SolidRef{{doc, d, owner}});
    case KT_Drawable_Kind::circle: return py::cast(CircleRef{{doc, d, owner}});
    case KT_Drawable_Kind::arc: return py::cast(ArcRef{{doc, d, owner}});
    case KT_Drawable_Kind::text: return py::cast(TextRef{{doc, d, owner}});
    case KT_Drawable_Kind::insert: return py::cast(InsertRef{{doc, d, owner}});
    case KT_Drawable_Kind::dimension: return py::cast(DimensionRef{{doc, d, owner}});
    case KT_Drawable_Kind::polyline: return py::cast(PolylineRef{{doc, d, owner}});
    case KT_Drawable_Kind::point_set: return py::cast(PointSetRef{{doc, d, owner}});
  }
  return py::cast(EntityRef{doc, d, owner});
}

void bind_entities(py::module_& m) {
  py::class_<Color>(m, "Color", R"(A colour: its value and the colour number it stands for.

value: 0x00BBGGRR (red in the lowest byte), as the kernel keeps it.
number: 256 by layer, 0 by block, 1..255 the palette; None when unknown.
rgb: (red, green, blue), each 0..255.)")
      .def(py::init([](int number) {
             if (number < 1 || number > 255) throw py::value_error("a palette number is 1 to 255");
             return Color{color_value_of(nullptr, number, 0), number};
           }),
           py::arg("number"), "The palette colour of that number (1..255).")
      .def_readonly("value", &Color::value)
      .def_readonly("number", &Color::number)
      .def_property_readonly("rgb", [](const Color& c) {
        return py::make_tuple(c.value & 0xFF, (c.value >> 8) & 0xFF, (c.value >> 16) & 0xFF);
      })
      .def_property_readonly("by_layer", [](const Color& c) { return c.number == 256; })
      .def_property_readonly("by_block", [](const Color& c) { return c.number == 0; })
      .def("__eq__", [](const Color& a, const py::object& b) {
        if (py::isinstance<Color>(b)) {
          const Color& c = b.cast<const Color&>();
          return a.value == c.value && a.number == c.number;
        }
        if (py::isinstance<py::int_>(b)) return a.number && *a.number == b.cast<int>();
        return false;
      })
      .def("__hash__", [](const Color& c) { return py::hash(py::make_tuple(c.value, c.number ? *c.number : -1)); })
      .def("__repr__", [](const Color& c) {
        char text[64];
        if (c.number) std::snprintf(text, sizeof text, "Color(number=%d, value=0x%06lX)", *c.number, c.value);
        else std::snprintf(text, sizeof text, "Color(number=None, value=0x%06lX)", c.value);
        return std::string(text);
      });

  const py::object list_type = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyList_Type));
  const py::object walked = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type))(
      "Walked", py::make_tuple(list_type),
      py::dict(py::arg("__doc__") = "What walk() and explode() give: a list of (entity, Placement); complete is "
                                    "False when the walk stopped at its limit (what comes after is missing).",
               py::arg("__module__") = "kttrv", py::arg("complete") = true));
  m.attr("Walked") = walked;
  g_walked = walked.ptr();  // the module's attribute keeps it alive

  py::class_<Box>(m, "Box", "An axis-aligned box: min and max, each (x, y, z); complete False when the walk "
                            "that made it stopped at its limit.")
      .def_property_readonly("min", [](const Box& b) { return from_point(b.min); })
      .def_property_readonly("complete", [](const Box& b) { return b.complete; },
                             "False when the walk stopped at its limit: the box is of what it reached.")
      .def_property_readonly("max", [](const Box& b) { return from_point(b.max); })
      .def_property_readonly("size", [](const Box& b) {
        return py::make_tuple(b.max.x - b.min.x, b.max.y - b.min.y, b.max.z - b.min.z);
      })
      .def_property_readonly("center", [](const Box& b) {
        return py::make_tuple((b.min.x + b.max.x) / 2, (b.min.y + b.max.y) / 2, (b.min.z + b.max.z) / 2);
      })
      .def("__iter__", [](const Box& b) { return py::iter(py::make_tuple(from_point(b.min), from_point(b.max))); })
      .def("__eq__", [](const Box& a, const Box& b) {
        return a.min.x == b.min.x && a.min.y == b.min.y && a.min.z == b.min.z && a.max.x == b.max.x &&
               a.max.y == b.max.y && a.max.z == b.max.z;
      })
      .def("__repr__", [](const Box& b) {
        return "Box(min=" + std::string(py::repr(from_point(b.min))) + ", max=" + std::string(py::repr(from_point(b.max))) + ")";
      });

  py::class_<Placement>(m, "Placement", R"(Where an insert puts its block's drawables: x' = xx*x + xy*y + x0,
y' = yx*x + yy*y + y0, z kept.)")
      .def(py::init<>())
      .def_readonly("xx", &Placement::xx)
      .def_readonly("xy", &Placement::xy)
      .def_readonly("yx", &Placement::yx)
      .def_readonly("yy", &Placement::yy)
      .def_readonly("x0", &Placement::x0)
      .def_readonly("y0", &Placement::y0)
      .def("apply", [](const Placement& p, const py::handle& point) { return from_point(p.apply(to_point(point, "point"))); },
           py::arg("point"), "The point placed.")
      .def_property_readonly("matrix", [](const Placement& p) {
        py::array_t<double> out({3, 3});
        auto w = out.mutable_unchecked<2>();
        const double v[3][3] = {{p.xx, p.xy, p.x0}, {p.yx, p.yy, p.y0}, {0, 0, 1}};
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j) w(i, j) = v[i][j];
        return out;
      }, "The 3x3 matrix of the placement in the plane (homogeneous coordinates).")
      .def("__repr__", [](const Placement& p) {
        char text[200];
        std::snprintf(text, sizeof text, "Placement(xx=%g, xy=%g, yx=%g, yy=%g, x0=%g, y0=%g)", p.xx, p.xy, p.yx, p.yy, p.x0, p.y0);
        return std::string(text);
      });

  py::class_<Attrib>(m, "Attrib", "An attribute record stored behind an insert.")
      .def_readonly("point", &Attrib::point)
      .def_readonly("second_point", &Attrib::second_point)
      .def_readonly("angle", &Attrib::angle, "Degrees.")
      .def_readonly("height", &Attrib::height)
      .def_readonly("strings", &Attrib::strings, "The three strings; None where the record holds none.")
      .def_property_readonly("value", [](const Attrib& a) { return a.strings[2]; }, "The attribute's value (its third string).")
      .def("__repr__", [](const Attrib& a) { return "<kttrv.Attrib " + std::string(py::repr(a.strings)) + ">"; });

  py::class_<EntityRef> entity(m, "Entity", R"(A drawable of the drawing: a view of the kernel's object, not a copy.

Every entity has id, kind, layer (the Layer, or None), layer_index, color
(a Color), third, the owner block (None in the model space), and what its
file record stored beside it (line_type, extrusion, xdata; stored gives all).
Assigning a member changes the drawing.)");
  entity.def_property_readonly("id", [](const EntityRef& e) { return e.d->id; }, "The kernel's creation number.")
      .def_property_readonly("kind", [](const EntityRef& e) { return std::string(kttrv::view::kind_name(e.d->kind)); })
      .def_property(
          "layer", [](const EntityRef& e) { return wrap_layer(e.doc, e.d->layer); },
          [](const EntityRef& e, const py::handle& l) {
            e.d->layer = layer_number_of(e.doc, l);
            // A colour by layer is the new layer's, as a load of the saved file gives it.
            if (e.d->color_number == 256) e.d->color = color_value_of(e.doc, 256, e.d->layer);
          },
          "The entity's Layer (None when its number names none); set a Layer, a name or a number.")
      .def_property_readonly("layer_index", [](const EntityRef& e) { return e.d->layer; }, "The layer number the entity holds.")
      .def_property(
          "color",
          [](const EntityRef& e) {
            return Color{e.d->color, e.d->color_number != KT_NO_COLOR_NUMBER ? std::optional<int>(e.d->color_number)
                                                                               : palette_number_of(e.d->color)};
          },
          [](const EntityRef& e, const py::handle& v) { set_color(e, v); },
          "The entity's Color. Set a number: 1..255, BYLAYER (256) or BYBLOCK (0), or a Color.")
      .def_property_readonly("color_number", [](const EntityRef& e) -> py::object {
        if (e.d->color_number == KT_NO_COLOR_NUMBER) return py::none();
        return py::int_(e.d->color_number);
      }, "The colour number the entity's record stored (256 by layer, 0 by block); None when not known.")
      .def(
          "resolved_color",
          [](const EntityRef& e) {
            if (e.d->color_number == 256) {
              if (const KT_Layer* l = e.doc->layer(e.d->layer)) return Color{l->color, palette_number_of(l->color)};
            }
            return Color{e.d->color, e.d->color_number != KT_NO_COLOR_NUMBER ? std::optional<int>(e.d->color_number)
                                                                               : palette_number_of(e.d->color)};
          },
          "The colour drawn: the layer's when the entity's is by layer, else its own.")
      .def_property(
          "third", [](const EntityRef& e) { return e.d->third; }, [](const EntityRef& e, long v) { e.d->third = v; })
      .def_property_readonly("owner", [](const EntityRef& e) { return wrap_block(e.doc, e.owner); },
                             "The block whose definition holds the entity; None in the model space.")
      .def_property_readonly("deleted", [](const EntityRef& e) { return e.doc->deleted.count(e.d) != 0; })
      .def_property_readonly("line_type", [](const EntityRef& e) {
        const auto s = stored_of(e);
        return s ? optional_int(s->line_type) : py::object(py::none());
      }, "The line type number the record stored; None when none.")
      .def_property_readonly("extrusion", [](const EntityRef& e) -> py::object {
        const auto s = stored_of(e);
        if (!s || !s->has_extrusion) return py::none();
        return py::make_tuple(s->extrusion[0], s->extrusion[1], s->extrusion[2]);
      }, "The extrusion (x, y, z) the record stored; None when none.")
      .def_property_readonly("xdata", [](const EntityRef& e) {
        py::list out;
        if (const auto s = stored_of(e))
          for (const auto& item : s->xdata) out.append(py::make_tuple(item.code, xdata_value(item)));
        return out;
      }, "The xdata items the record stored, as (code, value) pairs.")
      .def_property_readonly("stored", &stored_dict, "Everything the entity's record stored beside the drawable, as a dict.")
      .def(
          "bbox",
          [](const EntityRef& e) {
            kttrv::view::Extents x;
            // An insert covers its block's drawables where it puts them.
            Walk walk{*e.doc, [&](KT_Drawable* d, KT_Block*, const Placement& p) { x.add(*d, p); }};
            x.cut = !walk.one(e.d, e.owner, Placement{}, 0);
            return box_or_none(x);
          },
          "The Box the entity covers (an insert: its block's drawables where it puts them); None when empty.")
      .def(
          "move",
          [](const EntityRef& e, double dx, double dy, double dz) { move_drawable(*e.d, {dx, dy, dz}); },
          py::arg("dx"), py::arg("dy"), py::arg("dz") = 0.0, "Moves every point of the entity.")
      .def("delete", &delete_entity, "Takes the entity out of its list; the view stays readable.")
      .def("__eq__", [](const EntityRef& a, const py::object& b) {
        return py::isinstance<EntityRef>(b) && b.cast<const EntityRef&>().d == a.d;
      })
      .def("__hash__", [](const EntityRef& e) { return std::hash<const void*>()(e.d); })
      .def("__repr__", &entity_repr);

  py::class_<PointRef, EntityRef> point(m, "Point", "A point: at.");
  def_point(point, "at", &KT_Point_Entity::at, "(x, y, z)");

  py::class_<LineRef, EntityRef> line(m, "Line", "A line: start, end.");
  def_point(line, "start", &KT_Line_Entity::start, "(x, y, z)");
  def_point(line, "end", &KT_Line_Entity::end, "(x, y, z)");

  py::class_<SolidRef, EntityRef>(m, "Solid", "A filled outline of corners (count of the 4 that are used).")
      .def_property(
          "corners",
          [](const SolidRef& e) {
            py::list out;
            for (const Ge_Pt& p : as<KT_Solid_Entity>(e).corners) out.append(from_point(p));
            return out;
          },
          [](const SolidRef& e, const py::sequence& pts) {
            if (py::len(pts) != 4) throw py::value_error("a solid holds 4 corners");
            for (std::size_t i = 0; i < 4; ++i) as<KT_Solid_Entity>(e).corners[i] = to_point(pts[i], "corner");
          })
      .def_property_readonly("count", [](const SolidRef& e) { return as<KT_Solid_Entity>(e).count; });

  py::class_<CircleRef, EntityRef> circle(m, "Circle", "A circle: centre, radius.");
  def_point(circle, "centre", &KT_Circle_Entity::centre, "(x, y, z)");
  def_point(circle, "center", &KT_Circle_Entity::centre, "The same as centre.");
  def_real(circle, "radius", &KT_Circle_Entity::radius, "");

  py::class_<ArcRef, EntityRef> arc(m, "Arc", "An arc: centre, radius, start_angle and end_angle (radians).");
  def_point(arc, "centre", &KT_Arc_Entity::centre, "(x, y, z)");
  def_point(arc, "center", &KT_Arc_Entity::centre, "The same as centre.");
  def_real(arc, "radius", &KT_Arc_Entity::radius, "");
  def_real(arc, "start_angle", &KT_Arc_Entity::start_angle, "Radians.");
  def_real(arc, "end_angle", &KT_Arc_Entity::end_angle, "Radians.");

  py::class_<TextRef, EntityRef> text(m, "Text", "A text: text, style, at, height, width_factor, rotation (radians).");
  text.def_property(
          "text", [](const TextRef& e) { return from_kernel_text(as<KT_Text_Entity>(e).text); },
          [](const TextRef& e, const py::handle& v) { as<KT_Text_Entity>(e).text = e.doc->keep(to_kernel_text(v, "text")); })
      .def_property(
          "style", [](const TextRef& e) { return from_kernel_text(as<KT_Text_Entity>(e).style); },
          [](const TextRef& e, const py::handle& v) { as<KT_Text_Entity>(e).style = e.doc->keep(to_kernel_text(v, "style")); });
  def_point(text, "at", &KT_Text_Entity::at, "The insertion point (x, y, z).");
  def_real(text, "height", &KT_Text_Entity::height, "");
  def_real(text, "width_factor", &KT_Text_Entity::width_factor, "");
  def_real(text, "rotation", &KT_Text_Entity::rotation, "Radians.");

  py::class_<InsertRef, EntityRef> insert(m, "Insert", R"(A block placed: at, scale (x, y, z), rotation (radians), block_name,
block (the Block, or None), attribs (the attribute records stored behind it).)");
  def_point(insert, "at", &KT_Insert_Entity::at, "The insertion point (x, y, z).");
  def_real(insert, "rotation", &KT_Insert_Entity::rotation, "Radians.");
  insert
      .def_property(
          "scale",
          [](const InsertRef& e) {
            const auto& i = as<KT_Insert_Entity>(e);
            return py::make_tuple(i.scale[0], i.scale[1], i.scale[2]);
          },
          [](const InsertRef& e, const py::handle& v) {
            const Ge_Pt s = to_point(v, "scale");
            auto& i = as<KT_Insert_Entity>(e);
            i.scale[0] = s.x;
            i.scale[1] = s.y;
            if (py::len(v) == 3) i.scale[2] = s.z;
          })
      .def_property(
          "block_name", [](const InsertRef& e) { return from_kernel_text(as<KT_Insert_Entity>(e).block_name); },
          [](const InsertRef& e, const py::handle& v) {
            as<KT_Insert_Entity>(e).block_name = e.doc->keep(to_kernel_text(v, "block_name"));
          })
      .def_property_readonly("block", [](const InsertRef& e) {
        const char* name = as<KT_Insert_Entity>(e).block_name;
        return wrap_block(e.doc, e.doc->find_block(name ? name : ""));
      })
      .def_property_readonly("attribs", &attribs_of, "The attribute records stored behind the insert (Attrib).")
      .def_property_readonly("placement", [](const InsertRef& e) {
        const auto& i = as<KT_Insert_Entity>(e);
        const KT_Block* b = e.doc->find_block(i.block_name ? i.block_name : "");
        return Placement::of_insert(i, b != nullptr ? b->base : Ge_Pt{});
      }, "The Placement it gives its block's drawables.")
      .def(
          "explode",
          [](const InsertRef& e) {
            const auto& i = as<KT_Insert_Entity>(e);
            KT_Block* block = e.doc->find_block(i.block_name ? i.block_name : "");
            if (block == nullptr) return py::list();
            return placed_list(e.doc, [&](Walk& walk) {
              walk.open.push_back(block);
              return walk.list(block->entities, block, Placement::of_insert(i, block->base), 1);
            });
          },
          R"(The drawables of its block, inner inserts through theirs, each as
(entity, Placement): the entity is the block's own (not a copy), the
placement where this insert puts it.)");

  py::class_<DimensionRef, EntityRef>(m, "Dimension", "A dimension: strings (3), points (7), reals (6), value.")
      .def_property(
          "strings",
          [](const DimensionRef& e) {
            py::list out;
            for (const char* s : as<KT_Dimension_Entity>(e).strings) out.append(from_kernel_text(s));
            return out;
          },
          [](const DimensionRef& e, const py::sequence& v) {
            if (py::len(v) != 3) throw py::value_error("a dimension holds 3 strings");
            for (std::size_t i = 0; i < 3; ++i)
              as<KT_Dimension_Entity>(e).strings[i] = v[i].is_none() ? nullptr : e.doc->keep(to_kernel_text(v[i], "string"));
          })
      .def_property(
          "points",
          [](const DimensionRef& e) {
            py::list out;
            for (const Ge_Pt& p : as<KT_Dimension_Entity>(e).points) out.append(from_point(p));
            return out;
          },
          [](const DimensionRef& e, const py::sequence& v) {
            if (py::len(v) != 7) throw py::value_error("a dimension holds 7 points");
            for (std::size_t i = 0; i < 7; ++i) as<KT_Dimension_Entity>(e).points[i] = to_point(v[i], "point");
          })
      .def_property(
          "reals",
          [](const DimensionRef& e) {
            py::list out;
            for (double r : as<KT_Dimension_Entity>(e).reals) out.append(r);
            return out;
          },
          [](const DimensionRef& e, const py::sequence& v) {
            if (py::len(v) != 6) throw py::value_error("a dimension holds 6 reals");
            for (std::size_t i = 0; i < 6; ++i) as<KT_Dimension_Entity>(e).reals[i] = v[i].cast<double>();
          })
      .def_property(
          "value", [](const DimensionRef& e) { return as<KT_Dimension_Entity>(e).value; },
          [](const DimensionRef& e, int v) { as<KT_Dimension_Entity>(e).value = v; });

  py::class_<PolylineRef, EntityRef>(m, "Polyline", "Connected vertices: vertices (an N x 3 array, a copy), closed.")
      .def_property("vertices", [](const PolylineRef& e) { return vertices_of(as<KT_Vertex_Entity>(e)); }, &set_vertices)
      .def_property_readonly("closed", [](const PolylineRef& e) { return as<KT_Vertex_Entity>(e).closed; })
      .def("__len__", [](const PolylineRef& e) { return std::max(0L, as<KT_Vertex_Entity>(e).count); });
  py::class_<PointSetRef, EntityRef>(m, "PointSet", "Separate vertices: vertices (an N x 3 array, a copy), closed.")
      .def_property("vertices", [](const PointSetRef& e) { return vertices_of(as<KT_Vertex_Entity>(e)); }, &set_vertices)
      .def_property_readonly("closed", [](const PointSetRef& e) { return as<KT_Vertex_Entity>(e).closed; })
      .def("__len__", [](const PointSetRef& e) { return std::max(0L, as<KT_Vertex_Entity>(e).count); });
}

}  // namespace ktpy
