// trv dump: the loaded drawing as JSON (schema in docs/DUMP.md), streamed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"
#include "tools/trv/dump_carrier.h"
#include "view/dump_writer.h"

namespace trv {

namespace {

struct DumpOptions {
  std::string path;
  int mode = -1;
  std::string sysvar_list;
  bool no_passed = false;
  bool lines = false;
  std::string encoding;
};

int run_dump(const DumpOptions& o) {
  const auto encoding = open_encoding(o.encoding);
  std::optional<SysVarList> list;
  if (!read_sysvar_option(o.sysvar_list, list)) return 1;
  KT_Drawing drawing;
  LoadRequest request;
  request.mode = o.mode;
  request.sysvar_list = list ? &*list : nullptr;
  request.count_records = true;  // for whether the load reached every record
  // What the dump shows beside the drawing, and only that, is kept.
  trv::DumpCarrier carrier(drawing, !o.no_passed);
  request.observer = &carrier;
  const kttrv::LoadResult result = load_drawing(o.path, drawing, request);
  if (!result.loaded) return 1;
  // The file's own version text; the generation the loader recognised
  // (null for legacy files, which have none).
  kttrv::view::DumpHeader header;
  header.version = bytes_to_utf8(result.file.version.c_str());
  header.generation = result.file.generation;
  header.complete = result.complete();
  header.damage = damage_lines(result);
  kttrv::view::JsonOut out(stdout);
  out.set_encoding(encoding.get());
  const kttrv::view::DumpCarried carried{&carrier, !o.no_passed};
  if (o.lines) kttrv::view::write_dump_lines(drawing, header, out, carried);
  else kttrv::view::write_dump(drawing, header, out, carried);
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
  sub->add_option("FILE", o->path, "Drawing file (- : standard input)")->required();
  add_load_options(*sub, o->mode, o->sysvar_list);
  sub->add_flag("--no-passed", o->no_passed, "List drawables only, not the records that made nothing");
  sub->add_flag("--lines", o->lines,
                "One JSON object a line: the file, each table entry, each drawable (docs/DUMP.md)");
  add_encoding_option(*sub, o->encoding);
  sub->callback([o, &status] { status = run_dump(*o); });
}

}  // namespace trv
