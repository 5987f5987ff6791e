// Reading and writing files: kttrv.read, Drawing.save and to_bytes, the
// dump's JSON, the picture, and trv's info and check for a path.
#include <pybind11/stl.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "document.h"
#include "host/zirida_host.h"
#include "load/load.h"
#include "save/save_file.h"
#include "tools/trv/info.h"
#include "tools/trv/loaded_file.h"
#include "tools/trv/cli_support.h"
#include "view/dump_writer.h"
#include "view/json_writer.h"
#include "view/render.h"
#include "view/utf8.h"

namespace ktpy {

namespace {

// A path from str, bytes or os.PathLike, as the library takes it (UTF-8 or bytes).
std::string path_of(const py::handle& value) {
  const py::object fs = py::module_::import("os").attr("fspath")(value);
  if (py::isinstance<py::bytes>(fs)) return fs.cast<std::string>();
  return fs.cast<std::string>();
}

// Raises the OSError (FileNotFoundError, PermissionError, ...) of a path
// that cannot be looked at, before a load reports it its own way.
void require_file(const std::string& path, const py::handle& given) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return;
  const py::object name = py::module_::import("os").attr("fspath")(given);
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, name.ptr());
  throw py::error_already_set();
}

bool is_buffer(const py::handle& source) {
  return py::isinstance<py::bytes>(source) || py::isinstance<py::bytearray>(source) ||
         py::isinstance<py::memoryview>(source);
}

kttrv::LoadOptions read_options(KT_Drawing& drawing, int mode) {
  kttrv::LoadOptions options;
  options.mode = mode;
  options.count_records = true;  // for `complete`
  options.note_losses = true;    // for save(allow_loss=False)
  options.observer = zirida_carry(drawing);
  return options;
}

[[noreturn]] void raise_read_error(const kttrv::LoadResult& result, const std::string& path) {
  int64_t offset = 0;
  for (const kttrv::Diagnostic& d : result.diagnostics) offset = d.offset;
  const py::object error = error_class("ReadError")(result.failure, offset, path.empty() ? py::object(py::none()) : py::str(path));
  PyErr_SetObject(error.get_type().ptr(), error.ptr());
  throw py::error_already_set();
}

DocPtr read(const py::object& source, int mode) {
  auto doc = std::make_shared<Document>();
  std::vector<unsigned char> bytes;
  kttrv::LoadSource from;
  if (is_buffer(source)) {
    const py::buffer_info info = py::reinterpret_borrow<py::buffer>(source).request();
    const auto* data = static_cast<const unsigned char*>(info.ptr);
    // A copy: the load runs without the GIL, while a bytearray could change.
    bytes.assign(data, data + info.size * info.itemsize);
    from = kttrv::LoadSource::bytes(bytes);
  } else if (py::isinstance<py::str>(source) || py::hasattr(source, "__fspath__")) {
    doc->path = path_of(source);
    require_file(doc->path, source);
    from = kttrv::LoadSource::file(doc->path);
  } else {
    throw py::type_error("read() takes a path (str or os.PathLike) or the file's bytes");
  }
  const kttrv::LoadOptions options = read_options(*doc->drawing, mode);
  kttrv::LoadResult result;
  {
    py::gil_scoped_release unlocked;
    result = kttrv::load_drawing(from, *doc->drawing, options);
  }
  if (!result.loaded) raise_read_error(result, doc->path);
  doc->loaded = true;
  doc->file_bytes = result.file.size;
  doc->version = result.file.version;
  doc->legacy = result.file.legacy;
  doc->generation = result.file.legacy ? -1 : result.file.generation;
  doc->complete = result.complete();
  doc->losses = std::move(result.losses);
  for (kttrv::Diagnostic& d : result.diagnostics)
    if (d.severity == kttrv::Severity::damage) doc->damage.push_back(std::move(d));
  if (!doc->damage.empty()) {
    const py::object warn = py::module_::import("warnings").attr("warn");
    const py::object cls = error_class("ReadWarning");
    const std::string where = doc->path.empty() ? std::string() : doc->path + ": ";
    for (const kttrv::Diagnostic& d : doc->damage) warn(cls(where + d.text, d.section, d.offset, d.reason, d.block), py::none(), 1);
  }
  return doc;
}

py::dict losses_dict(const LossLedger& ledger) {
  py::dict out;
  for (std::size_t i = 0; i < kLossKinds; ++i)
    if (ledger.counts[i] != 0) out[loss_name(static_cast<Loss>(i))] = ledger.counts[i];
  return out;
}

SaveOptions save_options(const Document& doc, bool allow_loss) {
  SaveOptions options;
  options.allow_loss = allow_loss;
  options.file_losses = doc.loaded ? &doc.losses : nullptr;
  options.carried = zirida_carried(*doc.drawing);
  return options;
}

py::dict saved_or_raise(const kttrv::SaveResult& result, bool allow_loss, const std::string& path) {
  if (!result.saved) {
    if (!allow_loss && !result.lossless()) {
      const py::object error = error_class("LossError")(result.error, losses_dict(result.losses));
      PyErr_SetObject(error.get_type().ptr(), error.ptr());
      throw py::error_already_set();
    }
    const py::object error = error_class("SaveError")(path.empty() ? result.error : path + ": " + result.error);
    PyErr_SetObject(error.get_type().ptr(), error.ptr());
    throw py::error_already_set();
  }
  py::dict out;
  out["entities"] = result.entities;
  out["blocks"] = result.blocks;
  out["layers"] = result.layers;
  out["text_styles"] = result.text_styles;
  out["dim_styles"] = result.dim_styles;
  out["losses"] = losses_dict(result.losses);
  return out;
}

std::string dump_json(const Document& doc, bool passed) {
  std::string text;
  {
    kttrv::view::JsonOut out(text);
    kttrv::view::DumpHeader header{kttrv::view::bytes_to_utf8(doc.version.c_str()),
                                   doc.loaded && !doc.legacy ? doc.generation : -1};
    // The head trv dump writes: whether the load was whole, and its damage
    // one line per stop, as trv says it.
    header.complete = doc.complete;
    kttrv::LoadResult damage;
    damage.diagnostics = doc.damage;
    header.damage = trv::damage_lines(damage);
    kttrv::view::write_dump(*doc.drawing, header, out, kttrv::view::DumpCarried{zirida_carried(*doc.drawing), passed});
    out.flush();
  }
  return text;
}

py::object json_loads(const std::string& text) { return py::module_::import("json").attr("loads")(text); }

}  // namespace

void bind_files(py::module_& m, py::class_<Document, DocPtr>& drawing) {
  m.def("read", &read, py::arg("source"), py::arg("mode") = -1,
        R"(Reads a drawing from a path (str or os.PathLike) or from the file's bytes.

mode: -1 (the default) also reads the system variables.
Returns a Drawing. A section that stopped early on damaged data is a
kttrv.ReadWarning (sent through the warnings module, and in
Drawing.warnings) with its section and byte offset. A file that cannot be
read raises kttrv.ReadError (reason, offset); a missing file
FileNotFoundError. The load runs without the GIL.)");

  drawing
      .def(
          "save",
          [](const DocPtr& doc, const py::object& path, bool allow_loss) {
            const std::string p = path_of(path);
            return saved_or_raise(kttrv::save_drawing(*doc->drawing, p, save_options(*doc, allow_loss)), allow_loss, p);
          },
          py::arg("path"), py::arg("allow_loss") = false,
          R"(Writes the drawing as a "HALD 2002" file, replacing path only once the
whole file is written. What the drawing's file held beside the kernel's
objects (attributes, xdata, colour and line type numbers, records that made
nothing) is written back.

Unless allow_loss, a drawing the file cannot hold whole is not written and
kttrv.LossError names what would be lost (its .losses: {category: count}).
A failed write raises kttrv.SaveError. Returns what was written
(entities, blocks, layers, text_styles, dim_styles, losses).)")
      .def(
          "to_bytes",
          [](const DocPtr& doc, bool allow_loss) {
            std::vector<unsigned char> out;
            saved_or_raise(kttrv::save_drawing(*doc->drawing, out, save_options(*doc, allow_loss)), allow_loss, "");
            return py::bytes(reinterpret_cast<const char*>(out.data()), out.size());
          },
          py::arg("allow_loss") = false, "The file save() would write, as bytes.")
      .def(
          "to_json", [](const DocPtr& doc, bool passed) { return dump_json(*doc, passed); }, py::arg("passed") = true,
          R"(The drawing as the JSON text of `trv dump` (docs/DUMP.md); passed=False
leaves out the records that made nothing, as `trv dump --no-passed`.)")
      .def(
          "render",
          [](const DocPtr& doc, const py::object& path, int width, const py::object& layers, const std::string& background) {
            const std::string out = path_of(path);
            const auto format = kttrv::view::picture_format(out);
            if (!format) throw py::value_error(out + ": the picture's name must end in .svg, .png or .pdf");
            if (width < 1 || width > 100000) throw py::value_error("width: 1 to 100000");
            kttrv::view::RenderOptions options;
            options.width = width;
            if (!kttrv::view::parse_background(background, options.background))
              throw py::value_error("background: '#RRGGBB', 'white', 'black' or 'none'");
            if (!layers.is_none()) {
              if (py::isinstance<py::str>(layers)) throw py::type_error("layers: a sequence of layer names");
              for (const py::handle& l : py::iter(layers)) options.layers.insert(to_kernel_text(l, "layers"));
            }
            options.carried = zirida_carried(*doc->drawing);
            // As trv render: the work budget of the file read (a drawing built here: the base budget).
            if (const long long budget = walk_budget(*doc); budget > 0) options.work_budget = budget;
            std::string why;
            bool cut = false;
            if (!kttrv::view::render_drawing(*doc->drawing, options, *format, out, why, &cut)) {
              const py::object error = error_class("SaveError")(out + ": cannot write the picture (" + why + ")");
              PyErr_SetObject(error.get_type().ptr(), error.ptr());
              throw py::error_already_set();
            }
            return !cut;
          },
          py::arg("path"), py::arg("width") = 1024, py::arg("layers") = py::none(), py::arg("background") = "white",
          R"(Draws the model space to path: SVG, PNG or PDF by its extension, width
pixels (points for SVG and PDF) wide. layers: only these layer names
(default: every layer that is on). background: '#RRGGBB', 'white', 'black'
or 'none'. False when the picture stops at the walk's limit (4,000,000
drawables, or the work budget of the file read, as trv render).)");

  m.def(
      "info",
      [](const py::object& path) {
        const std::string p = path_of(path);
        require_file(p, path);
        std::string text;
        {
          py::gil_scoped_release unlocked;
          const auto f = trv::load_file(p, /*note_losses=*/true, trv::Carry::counted);
          text = trv::info_summary(*f).dump();
        }
        return json_loads(text);
      },
      py::arg("path"),
      R"(What a file holds, as `trv info --json` gives it (docs/INFO.md), without
building Python objects: a dict with file, version, generation, loaded,
complete, damage, failure, and when it loaded the counts, what was not kept
and the extents. A file that does not load gives loaded False (no error);
a missing file raises FileNotFoundError.)");

  m.def(
      "check",
      [](const py::object& path) {
        const std::string p = path_of(path);
        require_file(p, path);
        std::unique_ptr<trv::LoadedFile> f;
        {
          py::gil_scoped_release unlocked;
          f = trv::load_file(p, /*note_losses=*/false, trv::Carry::none);
        }
        py::dict out;
        out["path"] = p;
        out["status"] = !f->loaded ? "unreadable" : (f->complete() ? "whole" : "damaged");
        out["failure"] = f->loaded ? py::object(py::none()) : py::str(f->failure);
        out["damage"] = f->damage;
        return out;
      },
      py::arg("path"),
      R"(Whether a file loads whole, as `trv check` judges it: a dict with path,
status ('whole', 'damaged' or 'unreadable'), failure (why it did not
load, or None) and damage (one line per section that stopped early).)");

  m.def(
      "_cpp_load_seconds",
      [](const py::object& path, int mode) {
        const std::string p = path_of(path);
        double seconds = 0;
        bool loaded = false;
        {
          py::gil_scoped_release unlocked;
          auto target = std::make_unique<KT_Drawing>();
          const auto start = std::chrono::steady_clock::now();
          loaded = kttrv::load_drawing(kttrv::LoadSource::file(p), *target, read_options(*target, mode)).loaded;
          seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        if (!loaded) throw py::value_error(p + ": does not load");
        return seconds;
      },
      py::arg("path"), py::arg("mode") = -1,
      "The C++ load read() makes (same options, into a drawing of its own), timed in C++: for the benchmark.");
}

}  // namespace ktpy
