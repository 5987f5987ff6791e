// Loads a drawing, counts its drawables by kind, gives its extents and saves
// it again, through the C++ API:  cpp_api IN.trv OUT.trv
#include <cstdio>
#include <map>
#include <string_view>

#include <kttrv/load/load.h>
#include <kttrv/save/save_file.h>
#include <kttrv/view/extents.h>
#include <kttrv/view/kind_names.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  KT_Drawing drawing;
  const kttrv::LoadResult loaded = kttrv::load_drawing(kttrv::LoadSource::file(argv[1]), drawing);
  if (!loaded.loaded) return std::fprintf(stderr, "%s: %s\n", argv[1], loaded.failure.c_str()), 1;
  for (const kttrv::Diagnostic& d : loaded.diagnostics) std::fprintf(stderr, "warning: %s\n", d.text.c_str());
  std::map<std::string_view, int> kinds;
  kttrv::view::walk_model_space(drawing, {}, [&](const KT_Drawable& d, const kttrv::view::Placement&) {
    ++kinds[kttrv::view::kind_name(d.kind)];
  });
  for (const auto& [kind, n] : kinds) std::printf("%.*s: %d\n", static_cast<int>(kind.size()), kind.data(), n);
  const kttrv::view::Extents e = kttrv::view::model_space_extents(drawing);
  if (!e.empty) std::printf("extents: %g %g to %g %g\n", e.min.x, e.min.y, e.max.x, e.max.y);
  const kttrv::SaveResult saved = kttrv::save_drawing(drawing, std::string(argv[2]));
  if (!saved.saved) return std::fprintf(stderr, "%s: %s\n", argv[2], saved.error.c_str()), 1;
  std::printf("saved %ld entities; not kept: %s\n", saved.entities, saved.lossless() ? "nothing" : saved.loss_summary().c_str());
  return 0;
}
