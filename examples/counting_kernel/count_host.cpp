// Loads a drawing into the counting kernel and saves the (empty) result:
//   count_host IN.trv OUT.trv
#include <kttrv/kttrv.h>

#include <cstdio>
#include <string>

#include "counting_kernel.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  KT_Drawing drawing;
  KT_Drawing* target = &drawing;
  g_current_drawing = &drawing;
  CString in(argv[1]);
  const bool loaded = LoadTORVDocument(-1, in, target);
  std::string out = argv[2];
  const bool saved = api_kt_save_trv(out.data());
  std::printf("loaded %d, saved %d, kernel calls %ld\n", loaded, saved, counting_kernel_calls());
  return loaded && saved && counting_kernel_calls() > 0 ? 0 : 1;
}
