// A minimal host of the KtTrv plug-in: loads a drawing and saves it again.
//   kttrv_host IN.trv OUT.trv
#include <kttrv/kttrv.h>

#include <cstdio>
#include <string>

namespace {
void print_diagnostic(const char* message, void*) { std::fprintf(stderr, "kttrv: %s\n", message); }

// The collections are linked lists; the kernel keeps no counts.
long count(const KT_Collection& collection) {
  long n = 0;
  for (const KT_Object* o = collection.first; o != nullptr; o = o->next) ++n;
  return n;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s IN.trv OUT.trv\n", argv[0]);
    return 2;
  }
  KtTrvSetDiagnosticSink(print_diagnostic, nullptr);

  // The plug-in creates everything in the current drawing of the kernel.
  KT_Drawing drawing;
  KT_Drawing* target = &drawing;
  g_current_drawing = &drawing;
  CString in(argv[1]);
  if (!LoadTORVDocument(-1, in, target)) {
    std::fprintf(stderr, "%s: not loaded\n", argv[1]);
    return 1;
  }
  std::printf("generation %d: %ld layers, %ld blocks, %ld text styles\n", g_trv_ver,
              count(drawing.layers), count(drawing.blocks), count(drawing.text_styles));

  std::string out = argv[2];
  const bool saved = api_kt_save_trv(out.data());  // writes g_current_drawing
  g_current_drawing = nullptr;
  if (!saved) {
    std::fprintf(stderr, "%s: not written\n", argv[2]);
    return 1;
  }
  return 0;
}
