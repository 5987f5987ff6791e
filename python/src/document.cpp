// The drawing and its tables as Python objects: Drawing, Layer, TextStyle,
// DimStyle, LineType, Block, and the views of their collections.
#include "document.h"

#include <pybind11/stl.h>

#include <cstring>
#include <strings.h>

#include "entities.h"
#include "format/color_palette.h"
#include "host/zirida_host.h"
#include "save/palette_numbers.h"
#include "tools/trv/cli_support.h"
#include "view/drawables.h"
#include "view/extents.h"
#include "view/kind_names.h"
#include "view/ranges.h"

namespace ktpy {

using kttrv::view::Placement;

KT_Layer* Document::layer(long number) {
  if (!layer_index_built) {
    layer_index.clear();
    for (KT_Object* o = drawing->layers.first; o != nullptr; o = o->next) layer_index.push_back(static_cast<KT_Layer*>(o));
    layer_index_built = true;
  }
  if (number < 0 || static_cast<std::size_t>(number) >= layer_index.size()) return nullptr;
  return layer_index[static_cast<std::size_t>(number)];
}

long Document::layer_count() {
  layer(0);
  return static_cast<long>(layer_index.size());
}

KT_Block* Document::find_block(std::string_view name) const {
  // As the walk finds an insert's block: the first of that exact name.
  for (KT_Object* o = drawing->blocks.first; o != nullptr; o = o->next) {
    auto* b = static_cast<KT_Block*>(o);
    if (std::string_view(b->name ? b->name : "") == name) return b;
  }
  return nullptr;
}

KT_Entity_List& entity_list(const DocPtr& doc, KT_Block* block) {
  return block != nullptr ? block->entities : doc->drawing->model_space;
}

Ge_Pt to_point(const py::handle& value, const char* what) {
  if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value))
    throw py::type_error(std::string(what) + ": a point is a sequence of 2 or 3 numbers");
  const auto seq = py::reinterpret_borrow<py::sequence>(value);
  const std::size_t n = py::len(seq);
  if (n != 2 && n != 3) throw py::value_error(std::string(what) + ": a point has 2 or 3 coordinates");
  return {seq[0].cast<double>(), seq[1].cast<double>(), n == 3 ? seq[2].cast<double>() : 0.0};
}

py::tuple from_point(const Ge_Pt& p) { return py::make_tuple(p.x, p.y, p.z); }

py::object from_kernel_text(const char* text) {
  if (text == nullptr) return py::none();
  // Each byte as the character of the same number, as the dump shows it.
  PyObject* s = PyUnicode_DecodeLatin1(text, static_cast<Py_ssize_t>(std::strlen(text)), nullptr);
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(s);
}

std::string to_kernel_text(const py::handle& value, const char* what) {
  std::string out;
  if (py::isinstance<py::bytes>(value)) {
    out = value.cast<std::string>();
  } else if (py::isinstance<py::str>(value)) {
    PyObject* b = PyUnicode_AsLatin1String(value.ptr());
    if (b == nullptr) {
      PyErr_Clear();
      throw py::value_error(std::string(what) + ": the drawing holds characters U+0000 to U+00FF only (or give bytes)");
    }
    out = py::reinterpret_steal<py::bytes>(b).cast<std::string>();
  } else {
    throw py::type_error(std::string(what) + ": expected str or bytes");
  }
  if (out.find('\0') != std::string::npos) throw py::value_error(std::string(what) + ": a text holds no NUL character");
  return out;
}

long color_value_of(const DocPtr& doc, int number, long layer) {
  if (number >= 1 && number <= 255) return static_cast<long>(color_palette[static_cast<std::size_t>(number)]);
  if (doc == nullptr || number != 256) return static_cast<long>(color_palette[7]);
  const short at = layer < 0 || layer > 32767 ? short{-1} : static_cast<short>(layer);
  return zirida_color_value(*doc->drawing, -1, at);
}

std::optional<int> palette_number_of(long value) {
  const int16_t n = palette_number(value);
  if (n >= 1 && n <= 255) return n;
  return std::nullopt;
}

py::object error_class(const char* name) { return py::module_::import("kttrv._errors").attr(name); }

py::object wrap_layer(const DocPtr& doc, long number) {
  KT_Layer* l = doc->layer(number);
  if (l == nullptr) return py::none();
  return py::cast(LayerRef{doc, l, number});
}

py::object wrap_block(const DocPtr& doc, KT_Block* block) {
  if (block == nullptr) return py::none();
  return py::cast(BlockRef{doc, block});
}

namespace {

// An entity list as Python sees it: the model space or a block's.
struct EntityList {
  DocPtr doc;
  KT_Block* block;
};
struct EntityIterator {
  DocPtr doc;
  KT_Block* block;
  KT_Drawable* at;
};

// A collection of the drawing: layers, styles, line types, blocks.
template <class Ref>
struct Table {
  DocPtr doc;
};
template <class Ref>
struct TableIterator {
  DocPtr doc;
  KT_Object* at;
  long number;
};

template <class Ref>
KT_Collection& collection_of(Document& doc);
template <>
KT_Collection& collection_of<LayerRef>(Document& doc) { return doc.drawing->layers; }
template <>
KT_Collection& collection_of<TextStyleRef>(Document& doc) { return doc.drawing->text_styles; }
template <>
KT_Collection& collection_of<DimStyleRef>(Document& doc) { return doc.drawing->dim_styles; }
template <>
KT_Collection& collection_of<LineTypeRef>(Document& doc) { return doc.drawing->line_types; }
template <>
KT_Collection& collection_of<BlockRef>(Document& doc) { return doc.drawing->blocks; }

template <class Ref>
py::object ref_of(const DocPtr& doc, KT_Object* o, long number) {
  if constexpr (std::is_same_v<Ref, LayerRef>) return py::cast(LayerRef{doc, static_cast<KT_Layer*>(o), number});
  if constexpr (std::is_same_v<Ref, TextStyleRef>) return py::cast(TextStyleRef{doc, static_cast<KT_Text_Style*>(o)});
  if constexpr (std::is_same_v<Ref, DimStyleRef>) return py::cast(DimStyleRef{doc, static_cast<KT_Dim_Style*>(o)});
  if constexpr (std::is_same_v<Ref, LineTypeRef>) return py::cast(LineTypeRef{doc, static_cast<KT_Line_Type*>(o)});
  if constexpr (std::is_same_v<Ref, BlockRef>) return py::cast(BlockRef{doc, static_cast<KT_Block*>(o)});
}

template <class Ref>
const char* name_of(KT_Object* o) {
  if constexpr (std::is_same_v<Ref, LayerRef>) return static_cast<KT_Layer*>(o)->name;
  if constexpr (std::is_same_v<Ref, TextStyleRef>) return static_cast<KT_Text_Style*>(o)->name;
  if constexpr (std::is_same_v<Ref, DimStyleRef>) return static_cast<KT_Dim_Style*>(o)->name;
  if constexpr (std::is_same_v<Ref, LineTypeRef>) return static_cast<KT_Line_Type*>(o)->name;
  if constexpr (std::is_same_v<Ref, BlockRef>) return static_cast<KT_Block*>(o)->name;
}

// The element of a name: the first of exactly that name, else the first
// that differs only in ASCII case; -1 when none.
template <class Ref>
long find_named(Document& doc, const std::string& name, KT_Object*& found) {
  long n = 0;
  for (KT_Object* o = collection_of<Ref>(doc).first; o != nullptr; o = o->next, ++n) {
    const char* s = name_of<Ref>(o);
    if (s != nullptr && name == s) {
      found = o;
      return n;
    }
  }
  n = 0;
  for (KT_Object* o = collection_of<Ref>(doc).first; o != nullptr; o = o->next, ++n) {
    const char* s = name_of<Ref>(o);
    if (s != nullptr && strcasecmp(name.c_str(), s) == 0) {
      found = o;
      return n;
    }
  }
  found = nullptr;
  return -1;
}

template <class Ref>
long table_size(Document& doc) {
  long n = 0;
  for (KT_Object* o = collection_of<Ref>(doc).first; o != nullptr; o = o->next) ++n;
  return n;
}

template <class Ref>
void bind_table(py::module_& m, const char* class_name, const char* doc) {
  using T = Table<Ref>;
  using It = TableIterator<Ref>;
  py::class_<It>(m, (std::string(class_name) + "Iterator").c_str())
      .def("__iter__", [](It& it) -> It& { return it; })
      .def("__next__", [](It& it) {
        if (it.at == nullptr) throw py::stop_iteration();
        py::object out = ref_of<Ref>(it.doc, it.at, it.number);
        it.at = it.at->next;
        ++it.number;
        return out;
      });
  py::class_<T>(m, class_name, doc)
      .def("__len__", [](const T& t) { return table_size<Ref>(*t.doc); })
      .def("__iter__", [](const T& t) { return It{t.doc, collection_of<Ref>(*t.doc).first, 0}; })
      .def("__getitem__", [](const T& t, const py::object& key) {
        if (py::isinstance<py::int_>(key)) {
          long i = key.cast<long>();
          const long n = table_size<Ref>(*t.doc);
          if (i < 0) i += n;
          if (i < 0 || i >= n) throw py::index_error("index out of range");
          KT_Object* o = collection_of<Ref>(*t.doc).first;
          for (long k = 0; k < i; ++k) o = o->next;
          return ref_of<Ref>(t.doc, o, i);
        }
        KT_Object* found = nullptr;
        const long at = find_named<Ref>(*t.doc, to_kernel_text(key, "name"), found);
        if (found == nullptr) throw py::key_error(std::string(py::str(key)));
        return ref_of<Ref>(t.doc, found, at);
      }, "By place (0 first) or by name (exact, else ignoring ASCII case).")
      .def("get", [](const T& t, const py::object& name, const py::object& fallback) {
        KT_Object* found = nullptr;
        const long at = find_named<Ref>(*t.doc, to_kernel_text(name, "name"), found);
        return found != nullptr ? ref_of<Ref>(t.doc, found, at) : fallback;
      }, py::arg("name"), py::arg("default") = py::none())
      .def("__contains__", [](const T& t, const py::object& name) {
        if (!py::isinstance<py::str>(name) && !py::isinstance<py::bytes>(name)) return false;
        KT_Object* found = nullptr;
        find_named<Ref>(*t.doc, to_kernel_text(name, "name"), found);
        return found != nullptr;
      })
      .def("names", [](const T& t) {
        py::list out;
        for (KT_Object* o = collection_of<Ref>(*t.doc).first; o != nullptr; o = o->next) out.append(from_kernel_text(name_of<Ref>(o)));
        return out;
      }, "The names, in the drawing's order.")
      .def("__repr__", [class_name](const T& t) { return "<kttrv." + std::string(class_name) + " of " + std::to_string(table_size<Ref>(*t.doc)) + ">"; });
}

// Which kinds a query keeps: a bit each; all when `kinds` is None.
unsigned kind_mask(const py::handle& kinds) {
  if (kinds.is_none()) return ~0U;
  const auto one = [](const py::handle& k) -> unsigned {
    static const std::pair<KT_Drawable_Kind, py::handle (*)()> types[] = {
        {KT_Drawable_Kind::point, [] { return py::handle(py::type::of<PointRef>()); }},
        {KT_Drawable_Kind::line, [] { return py::handle(py::type::of<LineRef>()); }},
        {KT_Drawable_Kind::solid, [] { return py::handle(py::type::of<SolidRef>()); }},
        {KT_Drawable_Kind::circle, [] { return py::handle(py::type::of<CircleRef>()); }},
        {KT_Drawable_Kind::arc, [] { return py::handle(py::type::of<ArcRef>()); }},
        {KT_Drawable_Kind::text, [] { return py::handle(py::type::of<TextRef>()); }},
        {KT_Drawable_Kind::insert, [] { return py::handle(py::type::of<InsertRef>()); }},
        {KT_Drawable_Kind::dimension, [] { return py::handle(py::type::of<DimensionRef>()); }},
        {KT_Drawable_Kind::polyline, [] { return py::handle(py::type::of<PolylineRef>()); }},
        {KT_Drawable_Kind::point_set, [] { return py::handle(py::type::of<PointSetRef>()); }},
    };
    for (const auto& [kind, type] : types) {
      const bool named = py::isinstance<py::str>(k) && k.cast<std::string>() == kttrv::view::kind_name(kind);
      if (named || k.is(type())) return 1U << static_cast<unsigned>(kind);
    }
    if (k.is(py::type::of<EntityRef>())) return ~0U;
    throw py::value_error("no entity kind " + std::string(py::repr(k)) +
                          " (point, line, solid, circle, arc, text, insert, dimension, polyline, point_set)");
  };
  if (py::isinstance<py::str>(kinds) || py::isinstance<py::type>(kinds)) return one(kinds);
  unsigned mask = 0;
  for (const py::handle& k : py::iter(kinds)) mask |= one(k);
  return mask;
}

py::list query_list(const DocPtr& doc, KT_Block* block, const py::handle& kind, const py::handle& layer) {
  const unsigned mask = kind_mask(kind);
  const bool any_layer = layer.is_none();
  const long number = any_layer ? 0 : layer_number_of(doc, layer);
  py::list out;
  for (KT_Drawable* d = entity_list(doc, block).first; d != nullptr; d = d->next) {
    if ((mask & (1U << static_cast<unsigned>(d->kind))) == 0) continue;
    if (!any_layer && d->layer != number) continue;
    out.append(wrap_entity(doc, d, block));
  }
  return out;
}

long list_size(const DocPtr& doc, KT_Block* block) {
  long n = 0;
  for (const KT_Drawable* d = entity_list(doc, block).first; d != nullptr; d = d->next) ++n;
  return n;
}

py::tuple longs_tuple(const long* v, int n) {
  py::tuple t(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) t[static_cast<std::size_t>(i)] = v[i];
  return t;
}

template <class T>
py::tuple values_tuple(const T* v, int n) {
  py::tuple t(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) t[static_cast<std::size_t>(i)] = v[i];
  return t;
}

}  // namespace

void bind_document(py::module_& m) {
  py::class_<LayerRef>(m, "Layer", "A layer: name, color (a Color), line_type, on, flag2, flag3, number (its place).")
      .def_property(
          "name", [](const LayerRef& l) { return from_kernel_text(l.layer->name); },
          [](const LayerRef& l, const py::handle& v) { l.layer->name = l.doc->keep(to_kernel_text(v, "name")); })
      .def_property(
          "color", [](const LayerRef& l) { return Color{l.layer->color, palette_number_of(l.layer->color)}; },
          [](const LayerRef& l, int number) {
            if (number < 1 || number > 255) throw py::value_error("a layer's colour number is 1 to 255");
            l.layer->color = color_value_of(nullptr, number, 0);
          }, "The layer's Color; set a palette number (1..255).")
      .def_property(
          "line_type", [](const LayerRef& l) { return l.layer->line_type; },
          [](const LayerRef& l, int v) { l.layer->line_type = v; })
      .def_property(
          "on", [](const LayerRef& l) { return l.layer->on; }, [](const LayerRef& l, bool v) { l.layer->on = v; })
      .def_property_readonly("flag2", [](const LayerRef& l) { return l.layer->flag2; })
      .def_property_readonly("flag3", [](const LayerRef& l) { return l.layer->flag3; })
      .def_property_readonly("number", [](const LayerRef& l) { return l.number; }, "Its place in the layer table (0 first), which entities hold.")
      .def_property_readonly("id", [](const LayerRef& l) { return l.layer->id; })
      .def("__eq__", [](const LayerRef& a, const py::object& b) {
        return py::isinstance<LayerRef>(b) && b.cast<const LayerRef&>().layer == a.layer;
      })
      .def("__hash__", [](const LayerRef& l) { return std::hash<const void*>()(l.layer); })
      .def("__repr__", [](const LayerRef& l) {
        return "<kttrv.Layer " + std::string(py::repr(from_kernel_text(l.layer->name))) + ">";
      });

  py::class_<TextStyleRef>(m, "TextStyle", "A text style: name, font_file, big_font_file, reals (4), flags, last, mark.")
      .def_property_readonly("name", [](const TextStyleRef& s) { return from_kernel_text(s.style->name); })
      .def_property_readonly("font_file", [](const TextStyleRef& s) { return from_kernel_text(s.style->font_file); })
      .def_property_readonly("big_font_file", [](const TextStyleRef& s) { return from_kernel_text(s.style->big_font_file); })
      .def_property_readonly("reals", [](const TextStyleRef& s) { return values_tuple(s.style->reals, 4); })
      .def_property_readonly("flags", [](const TextStyleRef& s) { return s.style->flags; })
      .def_property_readonly("last", [](const TextStyleRef& s) { return s.style->last; })
      .def_property_readonly("mark", [](const TextStyleRef& s) { return s.style->mark; })
      .def_property_readonly("id", [](const TextStyleRef& s) { return s.style->id; })
      .def("__repr__", [](const TextStyleRef& s) {
        return "<kttrv.TextStyle " + std::string(py::repr(from_kernel_text(s.style->name))) + ">";
      });

  py::class_<DimStyleRef>(m, "DimStyle", "A dimension style: name, second_name, longs (3), shorts (13), reals (16).")
      .def_property_readonly("name", [](const DimStyleRef& s) { return from_kernel_text(s.style->name); })
      .def_property_readonly("second_name", [](const DimStyleRef& s) { return from_kernel_text(s.style->second_name); })
      .def_property_readonly("longs", [](const DimStyleRef& s) { return longs_tuple(s.style->longs, KT_Dim_Style::kLongs); })
      .def_property_readonly("shorts", [](const DimStyleRef& s) { return values_tuple(s.style->shorts, KT_Dim_Style::kShorts); })
      .def_property_readonly("reals", [](const DimStyleRef& s) { return values_tuple(s.style->reals, KT_Dim_Style::kReals); })
      .def_property_readonly("id", [](const DimStyleRef& s) { return s.style->id; })
      .def("__repr__", [](const DimStyleRef& s) {
        return "<kttrv.DimStyle " + std::string(py::repr(from_kernel_text(s.style->name))) + ">";
      });

  py::class_<LineTypeRef>(m, "LineType", "A line type: name.")
      .def_property_readonly("name", [](const LineTypeRef& s) { return from_kernel_text(s.line_type->name); })
      .def_property_readonly("id", [](const LineTypeRef& s) { return s.line_type->id; })
      .def("__repr__", [](const LineTypeRef& s) {
        return "<kttrv.LineType " + std::string(py::repr(from_kernel_text(s.line_type->name))) + ">";
      });

  py::class_<EntityIterator>(m, "EntityIterator")
      .def("__iter__", [](EntityIterator& it) -> EntityIterator& { return it; })
      .def("__next__", [](EntityIterator& it) {
        if (it.at == nullptr) throw py::stop_iteration();
        py::object out = wrap_entity(it.doc, it.at, it.block);
        it.at = it.at->next;
        return out;
      });
  py::class_<EntityList>(m, "EntityList", R"(The entities of the model space or of a block, in the drawing's order.

len(), iteration, [i] (walks to the i-th: use iteration or query() for many)
and query(kind=None, layer=None).)")
      .def("__len__", [](const EntityList& l) { return list_size(l.doc, l.block); })
      .def("__iter__", [](const EntityList& l) { return EntityIterator{l.doc, l.block, entity_list(l.doc, l.block).first}; })
      .def("__getitem__", [](const EntityList& l, long i) {
        if (i < 0) i += list_size(l.doc, l.block);
        KT_Drawable* d = i < 0 ? nullptr : entity_list(l.doc, l.block).first;
        for (long k = 0; d != nullptr && k < i; ++k) d = d->next;
        if (d == nullptr) throw py::index_error("index out of range");
        return wrap_entity(l.doc, d, l.block);
      })
      .def("query", [](const EntityList& l, const py::object& kind, const py::object& layer) {
        return query_list(l.doc, l.block, kind, layer);
      }, py::arg("kind") = py::none(), py::arg("layer") = py::none(),
         "The entities of a kind (a name such as 'line', a class such as kttrv.Line, or several) and/or on a layer.")
      .def("__repr__", [](const EntityList& l) {
        return std::string("<kttrv.EntityList of ") + std::to_string(list_size(l.doc, l.block)) + ">";
      });

  py::class_<BlockRef>(m, "Block", R"(A block definition: name, description, base, bounds, entities (an
EntityList); add_line(...) and the other add_ methods add to it.)")
      .def_property_readonly("name", [](const BlockRef& b) { return from_kernel_text(b.block->name); })
      .def_property_readonly("description", [](const BlockRef& b) { return from_kernel_text(b.block->description); })
      .def_property(
          "base", [](const BlockRef& b) { return from_point(b.block->base); },
          [](const BlockRef& b, const py::handle& v) { b.block->base = to_point(v, "base"); })
      .def_property_readonly("bounds", [](const BlockRef& b) { return values_tuple(b.block->bounds, 4); })
      .def_property_readonly("id", [](const BlockRef& b) { return b.block->id; })
      .def_property_readonly("entities", [](const BlockRef& b) { return EntityList{b.doc, b.block}; })
      .def("__len__", [](const BlockRef& b) { return list_size(b.doc, b.block); })
      .def("__iter__", [](const BlockRef& b) { return EntityIterator{b.doc, b.block, b.block->entities.first}; })
      .def("query", [](const BlockRef& b, const py::object& kind, const py::object& layer) {
        return query_list(b.doc, b.block, kind, layer);
      }, py::arg("kind") = py::none(), py::arg("layer") = py::none())
      .def("__eq__", [](const BlockRef& a, const py::object& b) {
        return py::isinstance<BlockRef>(b) && b.cast<const BlockRef&>().block == a.block;
      })
      .def("__hash__", [](const BlockRef& b) { return std::hash<const void*>()(b.block); })
      .def("__repr__", [](const BlockRef& b) {
        return "<kttrv.Block " + std::string(py::repr(from_kernel_text(b.block->name))) + ">";
      });

  bind_table<LayerRef>(m, "Layers", "The layers, by place or by name.");
  bind_table<TextStyleRef>(m, "TextStyles", "The text styles, by place or by name.");
  bind_table<DimStyleRef>(m, "DimStyles", "The dimension styles, by place or by name.");
  bind_table<LineTypeRef>(m, "LineTypes", "The line types, by place or by name.");
  bind_table<BlockRef>(m, "Blocks", "The block definitions, by place or by name.");

  py::class_<Document, DocPtr> drawing(m, "Drawing", R"(A drawing: read with kttrv.read(), or new with kttrv.Drawing().

Tables: layers, text_styles, dim_styles, line_types, blocks (each by place
or by name); the entities: modelspace. query(kind=..., layer=...) selects
from the model space, extents() and walk() see it through its blocks,
arrays() and to_pandas(kind) give it as columns. add_layer(), add_line()
and the other add_ methods build; save() writes; render() draws.

Entities, layers and blocks are views of this drawing's objects: they keep
the drawing alive, and a change through them is a change of the drawing.)");
  drawing
      .def_property_readonly("version", [](const Document& d) -> py::object {
        if (!d.loaded) return py::none();
        return from_kernel_text(d.version.c_str());
      }, "The version text the file starts with (None for a new drawing).")
      .def_property_readonly("generation", [](const Document& d) -> py::object {
        if (d.generation < 0) return py::none();
        return py::int_(d.generation);
      }, "The generation the loader recognised (3, 6, 9, 11); None for legacy files and new drawings.")
      .def_property_readonly("legacy", [](const Document& d) { return d.legacy; })
      .def_property_readonly("path", [](const Document& d) -> py::object {
        if (d.path.empty()) return py::none();
        return py::str(d.path);
      })
      .def_property_readonly("complete", [](const Document& d) { return d.complete; },
                             "Loaded whole: no section stopped early and no record was left unread.")
      .def_property_readonly("damage", [](const Document& d) {
        kttrv::LoadResult result;
        result.diagnostics = d.damage;
        return trv::damage_lines(result);
      }, "What stopped early, one line per stop as trv and the dump say it (a block's stream and its block one line).")
      .def_property_readonly("warnings", [](const Document& d) {
        py::list out;
        const py::object cls = error_class("ReadWarning");
        for (const kttrv::Diagnostic& w : d.damage)
          out.append(cls(w.text, w.section, w.offset, w.reason, w.block));
        return out;
      }, "What stopped early, as ReadWarning objects (section, offset, reason); read() also warns with them.")
      .def_property_readonly("layers", [](const DocPtr& d) { return Table<LayerRef>{d}; })
      .def_property_readonly("text_styles", [](const DocPtr& d) { return Table<TextStyleRef>{d}; })
      .def_property_readonly("dim_styles", [](const DocPtr& d) { return Table<DimStyleRef>{d}; })
      .def_property_readonly("line_types", [](const DocPtr& d) { return Table<LineTypeRef>{d}; })
      .def_property_readonly("blocks", [](const DocPtr& d) { return Table<BlockRef>{d}; })
      .def_property_readonly("modelspace", [](const DocPtr& d) { return EntityList{d, nullptr}; },
                             "The model space's entities (an EntityList).")
      .def("query", [](const DocPtr& d, const py::object& kind, const py::object& layer) {
        return query_list(d, nullptr, kind, layer);
      }, py::arg("kind") = py::none(), py::arg("layer") = py::none(),
         R"(The model space's entities of a kind and/or on a layer, as a list.

kind: None (all), a name ('line', 'circle', ...), a class (kttrv.Line), or
a sequence of those. layer: None (all), a Layer, a name or a number.)")
      .def("extents", [](const DocPtr& d) {
        kttrv::view::WalkOptions walk;
        walk.budget = walk_budget(*d);
        const kttrv::view::Extents e = kttrv::view::model_space_extents(*d->drawing, walk);
        return box_or_none(e);
      }, "The Box the model space covers, inserts through their blocks (as trv info gives it, under its limit: "
         "Box.complete); None when empty.")
      .def("walk", [](const DocPtr& d) {
        return placed_list(d, [&](Walk& walk) { return walk.list(d->drawing->model_space, nullptr, Placement{}, 0); });
      }, R"(Every drawable of the model space with the Placement that puts it
there, inserts followed by their block's drawables: a list of
(entity, Placement).)")
      .def("delete", [](const DocPtr&, const EntityRef& e) {
        py::cast(e).attr("delete")();
      }, py::arg("entity"), "Takes an entity out of its list (entity.delete()).")
      .def("__repr__", [](const DocPtr& d) {
        std::string out = "<kttrv.Drawing";
        if (!d->path.empty()) out += " " + d->path;
        else if (!d->loaded) out += " (new)";
        return out + " of " + std::to_string(list_size(d, nullptr)) + " entities>";
      });

  bind_arrays(drawing);
  bind_authoring(m, drawing);
  bind_files(m, drawing);
}

}  // namespace ktpy
