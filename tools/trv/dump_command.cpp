// trv dump: the loaded drawing as JSON (schema in docs/DUMP.md), streamed.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "load/load_document.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "view/dump_writer.h"

namespace trv {

int run_dump(const std::string& path, int mode, const std::string& sysvar_list) {
  if (!set_sysvar_list(sysvar_list)) return 1;
  KT_Drawing drawing;
  g_trv_ver = -1;
  if (!load_drawing(path, mode, drawing)) return 1;
  // The file's own version text; the generation the loader recognised
  // (null for legacy files, which have none).
  const auto head = read_file_head(path, 88);
  const FileVersion version = head ? file_version(*head) : FileVersion{};
  kttrv::view::JsonOut out(stdout);
  kttrv::view::write_dump(drawing, kttrv::view::DumpHeader{version.text, version.legacy ? -1 : g_trv_ver}, out);
  if (!out.flush()) {
    error(std::string("writing the dump: ") + std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace trv
