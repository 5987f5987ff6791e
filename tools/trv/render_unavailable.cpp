// trv render in a build without cairo (the Windows build): it says so.
#include "tools/trv/cli_support.h"
#include "tools/trv/render_picture.h"

namespace trv {

int run_render(const std::string&, const std::string&, const kttrv::view::RenderOptions&) {
  error("render: this trv was built without cairo");
  return 1;
}

}  // namespace trv
