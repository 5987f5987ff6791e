// trv render: its options; render_picture.h draws.
#include <memory>
#include <string>

#include "tools/trv/commands.h"
#include "tools/trv/render_picture.h"
#include "view/render_options.h"

namespace trv {

namespace {

struct RenderCommandOptions {
  std::string path;
  std::string out;
  kttrv::view::RenderOptions render;
  std::string background;
};

}  // namespace

void setup_render(CLI::App& app, int& status) {
  auto o = std::make_shared<RenderCommandOptions>();
  auto* sub = app.add_subcommand("render", "Draw the model space to an SVG, PNG or PDF picture "
                                           "(docs/RENDER.md)");
  sub->add_option("FILE", o->path, "Drawing file")->required();
  sub->add_option("-o,--output", o->out, "Picture to write; its extension (.svg, .png, .pdf) picks the format")
      ->required();
  sub->add_option("--width", o->render.width, "Picture width in pixels (points for SVG and PDF)")
      ->check(CLI::Range(16, 16384))
      ->capture_default_str();
  sub->add_option("--background", o->background, "#RRGGBB, white, black or none (transparent); default white");
  sub->add_option("--layer", o->render.layers, "Draw only this layer (repeatable: --layer A --layer B)")
      ->allow_extra_args(false);
  sub->callback([o, &status] {
    if (!o->background.empty() && !kttrv::view::parse_background(o->background, o->render.background))
      throw CLI::ValidationError("--background", "expected #RRGGBB, white, black or none, got " + o->background);
    status = run_render(o->path, o->out, o->render);
  });
}

}  // namespace trv
