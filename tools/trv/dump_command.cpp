// trv dump: the loaded drawing as JSON (schema in docs/DUMP.md), streamed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "host/zirida_host.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "view/dump_writer.h"

namespace trv {

namespace {

struct DumpOptions {
  std::string path;
  int mode = -1;
  std::string sysvar_list;
  bool no_passed = false;
};

int run_dump(const DumpOptions& o) {
  std::optional<SysVarList> list;
  if (!read_sysvar_option(o.sysvar_list, list)) return 1;
  KT_Drawing drawing;
  LoadRequest request;
  request.mode = o.mode;
  request.sysvar_list = list ? &*list : nullptr;
  const kttrv::LoadResult result = load_drawing(o.path, drawing, request);
  if (!result.loaded) return 1;
  // The file's own version text; the generation the loader recognised
  // (null for legacy files, which have none).
  kttrv::view::JsonOut out(stdout);
  kttrv::view::write_dump(
      drawing, kttrv::view::DumpHeader{bytes_to_utf8(result.file.version.c_str()), result.file.generation}, out,
      kttrv::view::DumpCarried{zirida_carried(drawing), !o.no_passed});
  if (!out.flush()) {
    error(std::string("writing the dump: ") + std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace

void setup_dump(CLI::App& app, int& status) {
  auto o = std::make_shared<DumpOptions>();
  auto* sub = app.add_subcommand("dump", "Load a file and print the drawing as JSON (docs/DUMP.md)");
  sub->add_option("FILE", o->path, "Drawing file")->required();
  add_load_options(*sub, o->mode, o->sysvar_list);
  sub->add_flag("--no-passed", o->no_passed, "List drawables only, not the records that made nothing");
  sub->callback([o, &status] { status = run_dump(*o); });
}

}  // namespace trv
