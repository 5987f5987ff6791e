// trv dump: the loaded drawing as JSON (schema in docs/DUMP.md), streamed.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "view/dump_writer.h"

namespace trv {

int run_dump(const std::string& path, int mode, const std::string& sysvar_list) {
  std::optional<SysVarList> list;
  if (!read_sysvar_option(sysvar_list, list)) return 1;
  KT_Drawing drawing;
  LoadRequest request;
  request.mode = mode;
  request.sysvar_list = list ? &*list : nullptr;
  const kttrv::LoadResult result = load_drawing(path, drawing, request);
  if (!result.loaded) return 1;
  // The file's own version text; the generation the loader recognised
  // (null for legacy files, which have none).
  kttrv::view::JsonOut out(stdout);
  kttrv::view::write_dump(
      drawing, kttrv::view::DumpHeader{bytes_to_utf8(result.file.version.c_str()), result.file.generation}, out);
  if (!out.flush()) {
    error(std::string("writing the dump: ") + std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace trv
