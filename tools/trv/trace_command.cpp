// trv trace: every kernel operation of a load, one JSON object a line.
#include <cstdio>
#include <string_view>

#include "host/zirida_host.h"
#include "load/load_document.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/commands.h"

namespace trv {

namespace {
void print_line(std::string_view line, void*) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}
}  // namespace

int run_trace(const std::string& path, int mode, const std::string& sysvar_list) {
  if (!set_sysvar_list(sysvar_list)) return 1;
  KT_Drawing drawing;
  zirida_set_trace(print_line, nullptr);
  const bool ok = load_drawing(path, mode, drawing, /*quiet_error=*/true);
  zirida_set_trace(nullptr, nullptr);
  std::printf("{\"result\":%s,\"g_trv_ver\":%d}\n", ok ? "true" : "false", g_trv_ver);
  std::fflush(stdout);
  if (!ok) error(load_failure_reason(path));
  return ok ? 0 : 1;
}

}  // namespace trv
