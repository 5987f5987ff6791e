// trv render's load keeps only the colour numbers and the inserts' records:
// every drawing it draws must come out byte for byte as it does from a load
// that keeps every record.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/trv/loaded_file.h"
#include "view/ranges.h"
#include "view/render.h"
#include "host/zirida_host.h"

namespace {

namespace fs = std::filesystem;

// The SVG of a drawing with the carried content given.
std::string svg_of(const KT_Drawing& drawing, const KT_Carried* carried) {
  kttrv::view::RenderOptions options;
  options.width = 300;
  options.carried = carried;
  std::FILE* out = std::tmpfile();
  if (out == nullptr) return "no temporary file";
  std::string error;
  if (!kttrv::view::render_drawing(drawing, options, kttrv::view::PictureFormat::svg, out, error)) {
    std::fclose(out);
    return "failed: " + error;
  }
  std::string text;
  std::rewind(out);
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, out)) > 0;) text.append(chunk, n);
  std::fclose(out);
  return text;
}

std::vector<long> colour_numbers(const KT_Drawing& d) {
  std::vector<long> out;
  for (const KT_Drawable& e : kttrv::view::drawables_of(d.model_space)) out.push_back(e.color_number);
  for (const KT_Block& b : kttrv::view::blocks_of(d))
    for (const KT_Drawable& e : kttrv::view::drawables_of(b.entities)) out.push_back(e.color_number);
  return out;
}

TEST(PictureCarrier, EveryDrawingDrawsAsFromTheWholeCarriedLoad) {
  std::size_t drawn = 0;
  for (const char* root : {EXAMPLES_DIR, CORPUS_DIR}) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (!entry.is_regular_file()) continue;
      const std::string path = entry.path().string();
      SCOPED_TRACE(path);
      const auto whole = trv::load_file(path, false, trv::Carry::kept);
      const auto light = trv::load_file(path, false, trv::Carry::picture);
      ASSERT_EQ(whole->loaded, light->loaded);
      if (!whole->loaded || whole->drawing->model_space.first == nullptr) continue;
      EXPECT_EQ(colour_numbers(*light->drawing), colour_numbers(*whole->drawing));
      EXPECT_EQ(svg_of(*light->drawing, light->picture.get()), svg_of(*whole->drawing, zirida_carried(*whole->drawing)));
      ++drawn;
    }
  }
  EXPECT_GT(drawn, 10u);
}

}  // namespace
