// trv render in a build without cairo (the Windows build): it says so.
#include "tools/trv/cli_support.h"
#include "tools/trv/render_picture.h"

namespace trv {

int run_render(const RenderRequest&) {
  error("render: this trv was built without cairo: it draws no pictures (the Linux build does)");
  return 1;
}

}  // namespace trv
