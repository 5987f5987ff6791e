// trv render: its options; render_picture.h draws.
#include <memory>
#include <string>
#include <vector>

#include "tools/trv/batch_render.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/render_picture.h"
#include "view/render_options.h"

namespace trv {

namespace {

struct RenderCommandOptions {
  RenderRequest request;
  std::vector<std::string> files;
  std::string from;
  bool nul_separated = false;
  int jobs = 1;
  std::string background;
};

}  // namespace

void setup_render(CLI::App& app, int& status) {
  auto o = std::make_shared<RenderCommandOptions>();
  auto* sub = app.add_subcommand("render", "Draw the model space to an SVG, PNG or PDF picture, or a picture of "
                                           "each drawing into a folder (docs/RENDER.md)");
  RenderRequest& r = o->request;
  sub->add_option("FILES", o->files,
                  "Drawing file (- : standard input); several, or folders (walked for .trv files), with -o DIR");
  sub->add_option("-o,--output", r.out,
                  "Picture to write; its extension (.svg, .png, .pdf) picks the format; - : standard output "
                  "(with --format). For several inputs, a folder or --from: the folder DIR, where each "
                  "picture is named as its input (folders kept) with --format's extension")
      ->required();
  sub->add_option("--format", r.format, "svg, png or pdf, whatever the output's name (needed with -o DIR)")
      ->check(CLI::IsMember({"svg", "png", "pdf"}, CLI::ignore_case));
  sub->add_option("-j,--jobs", o->jobs, "With -o DIR: draw in N worker processes (at most 256)")
      ->check(CLI::Range(1, 256));
  sub->add_option("--from", o->from,
                  "Also draw the drawings listed in FILE (- : standard input), one a line; pictures go to -o DIR");
  sub->add_flag("-0,--null", o->nul_separated, "The --from list's paths end in NUL (find -print0)");
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
    if (!is_render_batch(o->files, o->request.out, o->from)) {
      if (o->files.empty()) throw CLI::RequiredError("FILES");
      o->request.path = o->files[0];
      status = run_render(o->request);
      return;
    }
    RenderBatchRequest batch;
    batch.files = o->files;
    batch.from = o->from;
    batch.nul_separated = o->nul_separated;
    batch.out_dir = o->request.out;
    batch.jobs = o->jobs;
    batch.picture = o->request;
    status = run_render_batch(batch);
  });
}

}  // namespace trv
