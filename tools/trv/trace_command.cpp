// trv trace: every kernel operation of a load, one JSON object a line.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/zirida_host.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

namespace trv {

namespace {

void print_line(std::string_view line, void*) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

struct TraceOptions {
  std::string path;
  int mode = -1;
  std::string sysvar_list;
};

int run_trace(const TraceOptions& o) {
  const std::string& path = o.path;
  std::optional<SysVarList> list;
  if (!read_sysvar_option(o.sysvar_list, list)) return 1;
  KT_Drawing drawing;
  zirida_set_trace(print_line, nullptr);
  LoadRequest request;
  request.mode = o.mode;
  request.sysvar_list = list ? &*list : nullptr;
  request.quiet_error = true;
  request.carry = false;  // the kernel calls are the same either way
  const kttrv::LoadResult result = load_drawing(path, drawing, request);
  zirida_set_trace(nullptr, nullptr);
  // The generation the loader recognised, as the exported g_trv_ver says it.
  std::printf("{\"result\":%s,\"g_trv_ver\":%d}\n", result.loaded ? "true" : "false", result.file.generation);
  std::fflush(stdout);
  if (!result.loaded) error(load_failure(path, result));
  return result.loaded ? 0 : 1;
}

}  // namespace

void setup_trace(CLI::App& app, int& status) {
  auto o = std::make_shared<TraceOptions>();
  auto* sub = app.add_subcommand("trace", "Print every kernel call a load makes, as JSON lines");
  sub->add_option("FILE", o->path, "Drawing file (- : standard input)")->required();
  add_load_options(*sub, o->mode, o->sysvar_list);
  sub->callback([o, &status] { status = run_trace(*o); });
}

}  // namespace trv
