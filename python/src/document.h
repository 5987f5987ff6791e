// The drawing as Python holds it: the kernel's drawing with what its load
// said, shared by every view made of it (entities, layers, blocks), so the
// drawing lives while any view does. Views are a pointer into the kernel's
// objects and the shared document: nothing is copied.
#pragma once

#include <pybind11/pybind11.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "format/diagnostics.h"
#include "format/loss_ledger.h"
#include "kernel/kt_drawables.h"

namespace ktpy {

namespace py = pybind11;

struct Document {
  std::unique_ptr<KT_Drawing> drawing = std::make_unique<KT_Drawing>();
  bool loaded = false;       // read from a file (or bytes); false: built here
  std::string path;          // the file it was read from; empty for bytes or a new drawing
  std::string version;       // the version text the file starts with, as stored
  int generation = -1;       // 3, 6, 9, 11; -1 legacy or new
  bool legacy = false;
  bool complete = true;      // loaded whole: no section stopped early, no record left unread
  std::vector<kttrv::Diagnostic> damage;  // the sections that stopped early
  LossLedger losses;         // what the load read and did not keep
  // The size of the file (or bytes) it was read from: the walks through
  // inserts get walk.h's work budget of it. 0 for a drawing built here.
  unsigned long long file_bytes = 0;
  // Strings given from Python to the kernel's objects: they live as long as
  // the drawing (the kernel copies what its calls get, direct edits do not).
  std::deque<std::string> strings;
  // Drawables taken out of their list: their views still read them (the
  // kernel's storage keeps them), but they are in no list any more.
  std::unordered_set<const KT_Drawable*> deleted;
  // Layers by number, built on demand and dropped when a layer is added.
  std::vector<KT_Layer*> layer_index;
  bool layer_index_built = false;

  const char* keep(std::string text) {
    strings.push_back(std::move(text));
    return strings.back().c_str();
  }
  KT_Layer* layer(long number);
  long layer_count();
  void layers_changed() { layer_index_built = false; }
  KT_Block* find_block(std::string_view name) const;
};

using DocPtr = std::shared_ptr<Document>;

// The work budget of a drawing's walks (view/walk.h): of the file it was
// read from; 0 for a drawing built here (only kMaxVisits limits its walks).
long long walk_budget(const Document& d);

// The views. Each holds the document and a kernel object of it.
struct LayerRef {
  DocPtr doc;
  KT_Layer* layer;
  long number;  // its place in the layer collection
};
struct TextStyleRef {
  DocPtr doc;
  KT_Text_Style* style;
};
struct DimStyleRef {
  DocPtr doc;
  KT_Dim_Style* style;
};
struct LineTypeRef {
  DocPtr doc;
  KT_Line_Type* line_type;
};
struct BlockRef {
  DocPtr doc;
  KT_Block* block;
};

// A drawable and the list it lies in (block null: the model space).
struct EntityRef {
  DocPtr doc;
  KT_Drawable* d;
  KT_Block* owner;
};
// One view class a kind, for Python's isinstance and the kind's members.
struct PointRef : EntityRef {};
struct LineRef : EntityRef {};
struct SolidRef : EntityRef {};
struct CircleRef : EntityRef {};
struct ArcRef : EntityRef {};
struct TextRef : EntityRef {};
struct InsertRef : EntityRef {};
struct DimensionRef : EntityRef {};
struct PolylineRef : EntityRef {};
struct PointSetRef : EntityRef {};

// The view of a drawable, as its kind's class.
py::object wrap_entity(const DocPtr& doc, KT_Drawable* d, KT_Block* owner);
py::object wrap_layer(const DocPtr& doc, long number);  // None when there is no such layer
py::object wrap_block(const DocPtr& doc, KT_Block* block);  // None for null

// An entity list of the drawing: the model space (block null) or a block's.
KT_Entity_List& entity_list(const DocPtr& doc, KT_Block* block);

// A point from any sequence of 2 or 3 numbers (z 0 when left out).
Ge_Pt to_point(const py::handle& value, const char* what);
py::tuple from_point(const Ge_Pt& p);

// Text from the kernel (bytes as the characters of the same numbers, as the
// dump shows them) and back; null stays None.
py::object from_kernel_text(const char* text);
std::string to_kernel_text(const py::handle& value, const char* what);

// The colour value of a colour number (1..255 through the palette; 256 by
// layer through the layer; anything else colour 7's value).
long color_value_of(const DocPtr& doc, int number, long layer);
// The palette number of a colour value; nullopt when it has none.
std::optional<int> palette_number_of(long value);

// The exception and warning classes of kttrv._errors.
py::object error_class(const char* name);

// Registration, one part each.
void bind_document(py::module_& m);
void bind_entities(py::module_& m);
void bind_arrays(py::class_<Document, DocPtr>& drawing);
void bind_authoring(py::module_& m, py::class_<Document, DocPtr>& drawing);
void bind_files(py::module_& m, py::class_<Document, DocPtr>& drawing);

}  // namespace ktpy
