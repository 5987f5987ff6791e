// trv render: the model space of a file as a picture.
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "host/zirida_host.h"
#include "tools/trv/loaded_file.h"
#include "tools/trv/render_picture.h"
#include "view/layer_index.h"
#include "view/ranges.h"
#include "view/render.h"
#include "view/walk.h"

namespace trv {

namespace {

// The picture is drawn into a file beside its destination and renamed over
// it once whole, so a render that fails or is stopped leaves the picture
// that was there.
std::string picture_in_progress(const std::string& out) {
  std::random_device seed;
  const unsigned long long tag = (static_cast<unsigned long long>(seed()) << 32) ^ seed();
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%016llx.part", tag);
  return out + suffix;
}

// Each requested layer that no layer of the drawing has; with no layer
// requested, none.
std::vector<std::string> missing_layers(const KT_Drawing& drawing, const kttrv::view::RenderOptions& options) {
  std::set<std::string> named;
  for (const KT_Layer& layer : kttrv::view::layers_of(drawing)) named.insert(options.utf8(layer.name));
  std::vector<std::string> missing;
  for (const std::string& wanted : options.layers)
    if (!named.contains(wanted)) missing.push_back(wanted);
  return missing;
}

// Whether any drawable of the model space is drawn: on a layer that is
// on, or on one of the requested layers (the rule of render_drawing).
bool anything_shown(const KT_Drawing& drawing, const kttrv::view::RenderOptions& options) {
  const kttrv::view::LayerIndex layers(drawing);
  for (const KT_Drawable& d : kttrv::view::drawables_of(drawing.model_space)) {
    const KT_Layer* layer = layers.find(d.layer);
    if (layer == nullptr ? options.layers.empty()
                         : options.layers.empty() ? layer->on : options.layers.count(options.utf8(layer->name)) != 0)
      return true;
  }
  return false;
}

}  // namespace

int run_render(const RenderRequest& request) {
  const std::string& path = request.path;
  const std::string& out = request.out;
  const bool to_stdout = out == "-";
  const auto format = !request.format.empty() ? kttrv::view::picture_format("." + request.format)
                                              : kttrv::view::picture_format(out);
  if (!format) {
    if (to_stdout) error("-: standard output has no extension: give --format svg, png or pdf");
    else error(out + ": the picture's name must end in .svg, .png or .pdf (or give --format)");
    return 2;
  }
  const auto encoding = open_encoding(request.encoding);
  const auto f = load_file(path, /*note_losses=*/false, Carry::picture);
  if (!f->loaded) {
    error(f->failure);
    return 1;
  }
  // The attributes the load carried are drawn with their inserts.
  kttrv::view::RenderOptions options = request.options;
  options.carried = f->picture.get();
  options.encoding = encoding.get();
  options.work_budget = kttrv::view::work_budget(f->file.size);
  // A picture that would show nothing is not drawn: a layer asked for that
  // is not there, or a model space with nothing to draw.
  const std::vector<std::string> missing = missing_layers(*f->drawing, options);
  for (const std::string& name : missing) warn(path, "no layer is named \"" + name + "\"; no picture written");
  if (!missing.empty()) return 1;
  if (!anything_shown(*f->drawing, options)) {
    const bool empty = f->drawing->model_space.first == nullptr;
    warn(path, std::string("nothing to draw: ") +
                   (empty ? (f->file.legacy ? "a \"Torv 1.x\" file's entity records are not loaded"
                                            : "the model space holds no drawables")
                          : "no drawable of the model space is on a layer drawn") +
                   "; no picture written");
    return 1;
  }
  std::string why;
  bool cut = false;
  const std::string shown = to_stdout ? std::string("standard output") : out;
  if (to_stdout) {
    // Written as it is drawn: a failure part way leaves what was written.
    if (!kttrv::view::render_drawing(*f->drawing, options, *format, stdout, why, &cut)) {
      error(shown + ": cannot write the picture (" + why + ")");
      return 1;
    }
  } else {
    const std::string part = picture_in_progress(out);
    std::error_code ec;
    if (!kttrv::view::render_drawing(*f->drawing, options, *format, part, why, &cut)) {
      std::filesystem::remove(part, ec);
      error(shown + ": cannot write the picture (" + why + ")");
      return 1;
    }
    std::filesystem::rename(part, out, ec);
    if (ec) {
      std::filesystem::remove(part, ec);
      error(out + ": cannot write the picture (" + ec.message() + ")");
      return 1;
    }
  }
  if (cut)
    warn(path, "the picture stops after " + std::to_string(kttrv::view::kMaxVisits) + " drawables or " +
                   std::to_string(options.work_budget) +
                   " units of work (a drawable, vertex, chord, glyph or 16 pixels of a stroke each; inserts through their blocks)");
  return 0;
}

}  // namespace trv
