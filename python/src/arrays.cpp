// Drawing.arrays(): the model space as numpy arrays, a group of columns a
// kind, filled in two passes over the list (count, then write) without a
// Python object a drawable.
#include <pybind11/numpy.h>

#include <array>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "document.h"
#include "view/kind_names.h"

namespace ktpy {

namespace {

constexpr int kKinds = 10;

template <class T>
py::array_t<T> make(std::initializer_list<py::ssize_t> shape) {
  return py::array_t<T>(std::vector<py::ssize_t>(shape));
}

// One kind's columns, with a cursor for the second pass.
struct Columns {
  py::ssize_t n = 0;
  py::ssize_t vertices = 0;  // polylines and point sets
  py::ssize_t row = 0;
  py::ssize_t vertex = 0;
  py::array_t<int64_t> id, layer;
  py::array_t<uint32_t> color;
  py::array_t<int16_t> color_number;
  // Kind members, by name; the raw pointers write them.
  std::vector<std::pair<const char*, py::array>> members;
  std::vector<double*> reals;        // per member of doubles, its data
  std::vector<PyObject**> texts;     // per object column, its data
  int32_t* ints = nullptr;
  int64_t* offsets = nullptr;
  bool* closed = nullptr;

  double* add_reals(const char* name, std::initializer_list<py::ssize_t> shape) {
    auto a = make<double>(shape);
    double* data = a.mutable_data();
    members.emplace_back(name, std::move(a));
    reals.push_back(data);
    return data;
  }
  void add_text(const char* name) {
    // An object array starts with null references, each set once below.
    py::array a(py::dtype("O"), std::vector<py::ssize_t>{n});
    texts.push_back(static_cast<PyObject**>(a.mutable_data()));
    members.emplace_back(name, std::move(a));
  }
};

// The Python strings of kernel strings, each text made once: names of styles
// and blocks, and many texts, repeat.
class Strings {
 public:
  // A new reference.
  PyObject* get(const char* text) {
    if (text == nullptr) {
      Py_INCREF(Py_None);
      return Py_None;
    }
    const std::string_view key(text);
    auto [at, added] = made_.try_emplace(key, nullptr);
    if (added) {
      py::object s = from_kernel_text(text);
      at->second = s.ptr();
      kept_.push_back(std::move(s));
    }
    Py_INCREF(at->second);
    return at->second;
  }

 private:
  std::unordered_map<std::string_view, PyObject*> made_;
  std::vector<py::object> kept_;
};

void set_text(PyObject** column, py::ssize_t row, PyObject* value) {
  Py_XDECREF(column[row]);
  column[row] = value;
}

void put(double*& at, const Ge_Pt& p) {
  at[0] = p.x;
  at[1] = p.y;
  at[2] = p.z;
  at += 3;
}

}  // namespace

void bind_arrays(py::class_<Document, DocPtr>& drawing) {
  drawing.def(
      "arrays",
      [](const DocPtr& doc) {
        std::array<Columns, kKinds> c;
        const KT_Entity_List& list = doc->drawing->model_space;
        for (const KT_Drawable* d = list.first; d != nullptr; d = d->next) {
          Columns& k = c[static_cast<std::size_t>(d->kind)];
          ++k.n;
          if (d->kind == KT_Drawable_Kind::polyline || d->kind == KT_Drawable_Kind::point_set) {
            const auto& v = static_cast<const KT_Vertex_Entity&>(*d);
            if (v.vertices != nullptr && v.count > 0) k.vertices += v.count;
          }
        }
        for (int i = 0; i < kKinds; ++i) {
          Columns& k = c[static_cast<std::size_t>(i)];
          const py::ssize_t n = k.n;
          k.id = make<int64_t>({n});
          k.layer = make<int64_t>({n});
          k.color = make<uint32_t>({n});
          k.color_number = make<int16_t>({n});
          switch (static_cast<KT_Drawable_Kind>(i)) {
            case KT_Drawable_Kind::point: k.add_reals("at", {n, 3}); break;
            case KT_Drawable_Kind::line: k.add_reals("points", {n, 2, 3}); break;
            case KT_Drawable_Kind::solid: {
              k.add_reals("corners", {n, 4, 3});
              auto count = make<int32_t>({n});
              k.ints = count.mutable_data();
              k.members.emplace_back("count", std::move(count));
              break;
            }
            case KT_Drawable_Kind::circle:
              k.add_reals("centre", {n, 3});
              k.add_reals("radius", {n});
              break;
            case KT_Drawable_Kind::arc:
              k.add_reals("centre", {n, 3});
              k.add_reals("radius", {n});
              k.add_reals("start_angle", {n});
              k.add_reals("end_angle", {n});
              break;
            case KT_Drawable_Kind::text:
              k.add_reals("at", {n, 3});
              k.add_reals("height", {n});
              k.add_reals("width_factor", {n});
              k.add_reals("rotation", {n});
              k.add_text("text");
              k.add_text("style");
              break;
            case KT_Drawable_Kind::insert:
              k.add_reals("at", {n, 3});
              k.add_reals("scale", {n, 3});
              k.add_reals("rotation", {n});
              k.add_text("block");
              break;
            case KT_Drawable_Kind::dimension: {
              k.add_reals("points", {n, 7, 3});
              k.add_reals("reals", {n, 6});
              auto value = make<int32_t>({n});
              k.ints = value.mutable_data();
              k.members.emplace_back("value", std::move(value));
              k.add_text("text");
              break;
            }
            case KT_Drawable_Kind::polyline:
            case KT_Drawable_Kind::point_set: {
              k.add_reals("vertices", {k.vertices, 3});
              auto offsets = make<int64_t>({n + 1});
              k.offsets = offsets.mutable_data();
              k.offsets[0] = 0;
              k.members.emplace_back("offsets", std::move(offsets));
              auto closed = make<bool>({n});
              k.closed = closed.mutable_data();
              k.members.emplace_back("closed", std::move(closed));
              break;
            }
          }
        }
        Strings strings;
        std::array<int64_t*, kKinds> ids{}, layers{};
        std::array<uint32_t*, kKinds> colors{};
        std::array<int16_t*, kKinds> numbers{};
        for (std::size_t i = 0; i < kKinds; ++i) {
          ids[i] = c[i].id.mutable_data();
          layers[i] = c[i].layer.mutable_data();
          colors[i] = c[i].color.mutable_data();
          numbers[i] = c[i].color_number.mutable_data();
        }
        for (const KT_Drawable* d = list.first; d != nullptr; d = d->next) {
          const auto kind = static_cast<std::size_t>(d->kind);
          Columns& k = c[kind];
          const py::ssize_t row = k.row++;
          ids[kind][row] = d->id;
          layers[kind][row] = d->layer;
          colors[kind][row] = static_cast<uint32_t>(d->color);
          numbers[kind][row] = d->color_number == KT_NO_COLOR_NUMBER ? int16_t{-1} : d->color_number;
          switch (d->kind) {
            case KT_Drawable_Kind::point: {
              double* at = k.reals[0] + 3 * row;
              put(at, static_cast<const KT_Point_Entity&>(*d).at);
              break;
            }
            case KT_Drawable_Kind::line: {
              const auto& e = static_cast<const KT_Line_Entity&>(*d);
              double* at = k.reals[0] + 6 * row;
              put(at, e.start);
              put(at, e.end);
              break;
            }
            case KT_Drawable_Kind::solid: {
              const auto& e = static_cast<const KT_Solid_Entity&>(*d);
              double* at = k.reals[0] + 12 * row;
              for (const Ge_Pt& p : e.corners) put(at, p);
              k.ints[row] = e.count;
              break;
            }
            case KT_Drawable_Kind::circle: {
              const auto& e = static_cast<const KT_Circle_Entity&>(*d);
              double* at = k.reals[0] + 3 * row;
              put(at, e.centre);
              k.reals[1][row] = e.radius;
              break;
            }
            case KT_Drawable_Kind::arc: {
              const auto& e = static_cast<const KT_Arc_Entity&>(*d);
              double* at = k.reals[0] + 3 * row;
              put(at, e.centre);
              k.reals[1][row] = e.radius;
              k.reals[2][row] = e.start_angle;
              k.reals[3][row] = e.end_angle;
              break;
            }
            case KT_Drawable_Kind::text: {
              const auto& e = static_cast<const KT_Text_Entity&>(*d);
              double* at = k.reals[0] + 3 * row;
              put(at, e.at);
              k.reals[1][row] = e.height;
              k.reals[2][row] = e.width_factor;
              k.reals[3][row] = e.rotation;
              set_text(k.texts[0], row, strings.get(e.text));
              set_text(k.texts[1], row, strings.get(e.style));
              break;
            }
            case KT_Drawable_Kind::insert: {
              const auto& e = static_cast<const KT_Insert_Entity&>(*d);
              double* at = k.reals[0] + 3 * row;
              put(at, e.at);
              double* scale = k.reals[1] + 3 * row;
              put(scale, {e.scale[0], e.scale[1], e.scale[2]});
              k.reals[2][row] = e.rotation;
              set_text(k.texts[0], row, strings.get(e.block_name));
              break;
            }
            case KT_Drawable_Kind::dimension: {
              const auto& e = static_cast<const KT_Dimension_Entity&>(*d);
              double* at = k.reals[0] + 21 * row;
              for (const Ge_Pt& p : e.points) put(at, p);
              for (int i = 0; i < 6; ++i) k.reals[1][6 * row + i] = e.reals[i];
              k.ints[row] = e.value;
              set_text(k.texts[0], row, strings.get(e.strings[0]));
              break;
            }
            case KT_Drawable_Kind::polyline:
            case KT_Drawable_Kind::point_set: {
              const auto& e = static_cast<const KT_Vertex_Entity&>(*d);
              const long n = e.vertices != nullptr && e.count > 0 ? e.count : 0;
              double* at = k.reals[0] + 3 * k.vertex;
              for (long i = 0; i < n; ++i) put(at, e.vertices[i]);
              k.vertex += n;
              k.offsets[row + 1] = k.vertex;
              k.closed[row] = e.closed;
              break;
            }
          }
        }
        const py::object as_array = py::module_::import("numpy").attr("array");
        py::dict out;
        for (int i = 0; i < kKinds; ++i) {
          Columns& k = c[static_cast<std::size_t>(i)];
          py::dict columns;
          columns["id"] = k.id;
          columns["layer"] = k.layer;
          columns["color"] = k.color;
          columns["color_number"] = k.color_number;
          for (auto& [name, a] : k.members) columns[name] = a;
          out[py::str(std::string(kttrv::view::kind_name(static_cast<KT_Drawable_Kind>(i))))] = columns;
        }
        py::list names;
        for (long i = 0; i < doc->layer_count(); ++i) names.append(from_kernel_text(doc->layer(i)->name));
        out["layer_names"] = as_array(names, py::arg("dtype") = "object");
        return out;
      },
      R"(The model space as numpy arrays: a dict by kind ('line', 'circle', ...)
of dicts of columns, one row an entity in the drawing's order. Every kind
has id, layer (the layer number; names in result['layer_names']), color
(the value, 0x00BBGGRR) and color_number (-1 when unknown); then
  point: at (N, 3)                 line: points (N, 2, 3)
  circle: centre (N, 3), radius    arc: centre, radius, start_angle, end_angle
  solid: corners (N, 4, 3), count  text: at, height, width_factor, rotation, text, style
  insert: at, scale (N, 3), rotation, block
  dimension: points (N, 7, 3), reals (N, 6), value, text
  polyline, point_set: vertices (M, 3), offsets (N + 1; entity i has
    vertices[offsets[i]:offsets[i+1]]), closed.
Inserts are not expanded: walk() sees through blocks.)");
}

}  // namespace ktpy
