// trv render: the model space of a file as a picture.
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "host/zirida_host.h"
#include "tools/trv/loaded_file.h"
#include "tools/trv/render_picture.h"
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

}  // namespace

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
  with_carried.work_budget = kttrv::view::work_budget(f->file.size);
  const std::string part = picture_in_progress(out);
  std::error_code ec;
  if (!kttrv::view::render_drawing(*f->drawing, with_carried, *format, part, why, &cut)) {
    std::filesystem::remove(part, ec);
    error(out + ": cannot write the picture (" + why + ")");
    return 1;
  }
  std::filesystem::rename(part, out, ec);
  if (ec) {
    std::filesystem::remove(part, ec);
    error(out + ": cannot write the picture (" + ec.message() + ")");
    return 1;
  }
  if (cut)
    warn(path, "the picture stops after " + std::to_string(kttrv::view::kMaxVisits) + " drawables or " +
                   std::to_string(with_carried.work_budget) +
                   " units of work (a drawable, vertex, chord or glyph each; inserts through their blocks)");
  return 0;
}

}  // namespace trv
