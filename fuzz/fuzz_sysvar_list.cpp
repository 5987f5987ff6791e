// The system-variable list file reader, then a walk of a section with it:
// the input is the list text; the section walked is the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "load/sysvar_list_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/kttrv_fuzz_sysvar_" + std::to_string(getpid()) + ".txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  read_sysvar_list(path.c_str());
  tagFile stream{data, static_cast<int32_t>(size), 0};
  read_sysvar_section(&stream, 0);
  return 0;
}
