// trv render: its options; render_picture.h draws.
#include <memory>
#include <string>

#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/render_picture.h"
#include "view/render_options.h"

namespace trv {

namespace {

struct RenderCommandOptions {
  RenderRequest request;
  std::string background;
};

}  // namespace

void setup_render(CLI::App& app, int& status) {
  auto o = std::make_shared<RenderCommandOptions>();
  auto* sub = app.add_subcommand("render", "Draw the model space to an SVG, PNG or PDF picture "
                                           "(docs/RENDER.md)");
  RenderRequest& r = o->request;
  sub->add_option("FILE", r.path, "Drawing file (- : standard input)")->required();
  sub->add_option("-o,--output", r.out,
                  "Picture to write; its extension (.svg, .png, .pdf) picks the format; - : standard output "
                  "(with --format)")
      ->required();
  sub->add_option("--format", r.format, "svg, png or pdf, whatever the output's name")
      ->check(CLI::IsMember({"svg", "png", "pdf"}, CLI::ignore_case));
  add_encoding_option(*sub, r.encoding);
  sub->add_option("--width", r.options.width, "Picture width in pixels (points for SVG and PDF)")
      ->check(CLI::Range(16, 16384))
      ->capture_default_str();
  sub->add_option("--background", o->background, "#RRGGBB, white, black or none (transparent); default white");
  sub->add_option("--layer", r.options.layers, "Draw only this layer (repeatable: --layer A --layer B)")
      ->allow_extra_args(false);
  sub->callback([o, &status] {
    if (!o->background.empty() && !kttrv::view::parse_background(o->background, o->request.options.background))
      throw CLI::ValidationError("--background", "expected #RRGGBB, white, black or none, got " + o->background);
    status = run_render(o->request);
  });
}

}  // namespace trv
