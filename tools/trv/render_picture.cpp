// trv render: the model space of a file as a picture.
#include "host/zirida_host.h"
#include "tools/trv/loaded_file.h"
#include "tools/trv/render_picture.h"
#include "view/render.h"
#include "view/walk.h"

namespace trv {

int run_render(const std::string& path, const std::string& out, const kttrv::view::RenderOptions& options) {
  const auto format = kttrv::view::picture_format(out);
  if (!format) {
    error(out + ": the picture's name must end in .svg, .png or .pdf");
    return 2;
  }
  const auto f = load_file(path);
  if (!f->loaded) {
    error(f->failure);
    return 1;
  }
  std::string why;
  bool cut = false;
  // The attributes the load carried are drawn with their inserts.
  kttrv::view::RenderOptions with_carried = options;
  with_carried.carried = zirida_carried(*f->drawing);
  if (!kttrv::view::render_drawing(*f->drawing, with_carried, *format, out, why, &cut)) {
    error(out + ": cannot write the picture (" + why + ")");
    return 1;
  }
  if (cut) warn(path, "the picture stops after " + std::to_string(kttrv::view::kMaxVisits) + " drawables (inserts through their blocks)");
  return 0;
}

}  // namespace trv
