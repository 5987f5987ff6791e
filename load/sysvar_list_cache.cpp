#include "load/sysvar_list_cache.h"

#include <cstdint>
#include <string>

#include "format/input_file.h"
#include "format/install_location.h"

namespace {

// A load holds the list it started with, even when the next one reads another.
std::shared_ptr<const SysVarList> g_list = std::make_shared<const SysVarList>();
std::string g_path_override;

// The file the list came from, as it was when read; empty path: none.
struct ListSource {
  std::string path;
  std::int64_t modified = 0;
  std::uint64_t size = 0;
};
ListSource g_source;

void forget() {
  g_list = std::make_shared<const SysVarList>();
  g_source = {};
}

// Reads the list at path unless it already came from this file as it is now
// (cached). False with problem set.
bool load_list(const char* path, bool cached, std::string& problem) {
  InputFile file;
  if (!file.open(path, UINT64_MAX, problem)) return false;
  const ListSource now{path, file.modified(), file.size()};
  if (cached && g_source.path == now.path && g_source.modified == now.modified && g_source.size == now.size)
    return true;
  SysVarList list;
  ListSource read{path};
  if (!read_sysvar_list_file(path, list, problem, &read.modified, &read.size)) return false;
  g_list = std::make_shared<const SysVarList>(std::move(list));
  g_source = read;
  return true;
}

}  // namespace

const SysVarList& sysvar_list() { return *g_list; }

std::shared_ptr<const SysVarList> current_sysvar_list() { return g_list; }

void set_sysvar_list_path(const char* path) { g_path_override = path ? path : ""; }

const char* sysvar_list_path() {
  if (!g_path_override.empty()) return g_path_override.c_str();
  // Found once: the binary holding this code does not move while it runs.
  static const std::string installed = installed_data_file(KTTRV_SYSVAR_LIST_NAME);
  if (!installed.empty()) return installed.c_str();
  return KTTRV_SYSVAR_LIST_BUILD;
}

void read_sysvar_list(const char* path) {
  std::string problem;
  if (path == nullptr || !load_list(path, false, problem)) forget();
}

std::shared_ptr<const SysVarList> use_sysvar_list(const char* path, const DiagnosticOutput& out) {
  std::string problem;
  if (path != nullptr && load_list(path, true, problem)) return g_list;
  forget();
  report_diagnostic(out, {"system-variable list", 0}, "%s %s; the load goes on without a list", path ? path : "",
                    problem.c_str());
  return g_list;
}
